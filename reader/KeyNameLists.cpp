// Key names come from the library's own memory. Names that cannot be read
// there, and names the key-name table would not show well, fall back to the
// default name of the scan code.

#include <string>

#include "model/CompanionTables.h"
#include "model/DefaultKeyNames.h"
#include "model/ProcessState.h"
#include "reader/KbdTables.h"
#include "reader/LayoutWalk.h"

namespace tastora {
namespace {

// Below this a name reference cannot be an address in a loaded library.
constexpr uint32_t kLowestNameAddress = 500000;
constexpr size_t kNameReadLimit = 21;
constexpr size_t kMaxKeyNameLength = 20;
constexpr char16_t kLowestNameChar = 0x20;
constexpr char16_t kHighestNameChar = 0x200;

// The text at a library address; no value without a library or when the
// text runs into memory that cannot be read.
std::optional<std::u16string> ReadLibraryText(LayoutMemory& memory, uint32_t address) {
  if (!memory.HasLibrary()) return std::nullopt;
  std::u16string text;
  while (text.size() < kNameReadLimit) {
    const auto ch = memory.U16({Space::Library, uint64_t{address} + text.size() * 2});
    if (!ch) return std::nullopt;
    if (*ch == 0) break;
    text.push_back(static_cast<char16_t>(*ch));
  }
  return text;
}

bool Displayable(const std::u16string& name) {
  if (name.size() > kMaxKeyNameLength) return false;
  for (char16_t ch : name)
    if (ch < kLowestNameChar || ch > kHighestNameChar) return false;
  return true;
}

std::u16string KeyName(LayoutMemory& memory, uint8_t scan, uint32_t reference) {
  if (reference < kLowestNameAddress) return DefaultNameOfScan(scan);
  const auto text = ReadLibraryText(memory, reference);
  return text && Displayable(*text) ? *text : DefaultNameOfScan(scan);
}

std::u16string ExtendedKeyName(LayoutMemory& memory, uint8_t scan, uint32_t reference) {
  if (reference < kLowestNameAddress) return {};
  const auto text = ReadLibraryText(memory, reference);
  return text && *text != u" " ? *text : DefaultNameOfScan(scan);
}

template <typename NameOf>
bool ReadNameList(LayoutWalk& walk, Location list, KeyNameTable& table, NameOf nameOf) {
  if (list.IsNull()) return true;
  const auto first = walk.memory.U8(list + kbd::kKeyNameScan);
  if (!first) return false;
  // A list may open with an entry for scan code 0; the names follow it.
  for (uint64_t i = *first == 0 ? 1 : 0; table.count < kMaxKeyNames; ++i) {
    const Location at = list + i * kbd::kKeyNameEntrySize;
    const auto scan = walk.memory.U8(at + kbd::kKeyNameScan);
    if (!scan) return false;
    if (*scan == 0) break;
    const auto reference = walk.memory.U32(at + kbd::kKeyNameText);
    if (!reference) return false;
    KeyNameEntry& entry = table.entries[size_t(table.count)];
    entry.scan = *scan;
    entry.name = nameOf(walk.memory, *scan, *reference);
    ++table.count;
  }
  return true;
}

}  // namespace

bool ReadKeyNames(LayoutWalk& walk) {
  walk.state.keyNames.Empty();
  walk.state.extendedKeyNames.Empty();
  return ReadNameList(walk, walk.tables.pKeyNames, walk.state.keyNames, KeyName) &&
         ReadNameList(walk, walk.tables.pKeyNamesExt, walk.state.extendedKeyNames, ExtendedKeyName);
}

}  // namespace tastora
