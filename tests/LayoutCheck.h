#pragma once
// The rules a layout library we write must keep: the Windows loader's rules
// for a PE image (headers, sections, directories, exports, relocations) and
// what Windows needs of the tables reached through KbdLayerDescriptor. Each
// rule is checked on its own and reported with a fixed message.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/LibraryLoader.h"

namespace tastora::testing {

// Copies out.size() bytes at `address` of a loaded image; false when any of
// them is not there.
using ReadMemoryFn = std::function<bool(uint64_t address, std::span<uint8_t> out)>;

struct TablesWalk {
  // Everything reached from KBDTABLES as text; references are written
  // relative to the KBDTABLES block, so images at any base compare equal.
  std::string dump;
  // Addresses of the reference fields that hold a target.
  std::vector<uint64_t> referenceFields;
  std::vector<std::string> problems;
};

// `referenceWidth`: 8 for the tables' wide form, 4 for the narrow one.
TablesWalk WalkLayoutTables(const ReadMemoryFn& read, uint64_t tables, unsigned referenceWidth = 8);

// Every rule the file breaks, one message each; empty for a sound library.
std::vector<std::string> CheckLayoutLibrary(std::span<const uint8_t> file, unsigned referenceWidth = 8);

// The tables of a loaded library as our loader sees them.
std::optional<TablesWalk> WalkLoadedLibrary(LibraryLoader& loader, LibraryHandle library,
                                           unsigned referenceWidth = 8);

}  // namespace tastora::testing
