#pragma once
// Loading a layout library and reading the tables it carries. Addresses are
// plain 64-bit integers: the core never holds a pointer into a loaded image,
// it asks the port to copy bytes out, and the port refuses what is not there.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tastora {

using LibraryHandle = uint64_t;

class LibraryLoader {
 public:
  virtual ~LibraryLoader() = default;
  // No value when the library cannot be loaded.
  virtual std::optional<LibraryHandle> Load(const std::string& path) = 0;
  // Address of the export, or no value when the library has none by that name.
  virtual std::optional<uint64_t> FindExport(LibraryHandle library, const std::string& name) = 0;
  // Calls the function at `address` with no arguments and yields the address
  // it returns; no value when it cannot be called.
  virtual std::optional<uint64_t> CallDescriptor(LibraryHandle library, uint64_t address) = 0;
  // Copies out.size() bytes starting at `address`; false, and nothing
  // guaranteed in `out`, when any of them is not readable memory of the image.
  virtual bool ReadMemory(LibraryHandle library, uint64_t address, std::span<uint8_t> out) = 0;
  virtual void Unload(LibraryHandle library) = 0;
};

}  // namespace tastora
