// Key names come from the layout library, read wherever its other tables are
// read: the loaded library, or the file. A name that cannot be read, or that
// holds control characters, falls back to the default name of its scan code.

#include <optional>
#include <string>
#include <string_view>

#include "format/KbdTables.h"
#include "model/CompanionTables.h"
#include "model/DefaultKeyNames.h"
#include "model/ProcessState.h"
#include "reader/LayoutWalk.h"

namespace tastora {
namespace {

// Longer names are cut to this.
constexpr size_t kMaxKeyNameLength = 63;
// As many elements as a 64 KB image could hold; only a list without its
// null reference comes near it.
constexpr uint64_t kMaxDeadKeyNameElements = 65536 / kbd::kDeadKeyNameEntrySize;

bool HasControlCharacter(std::u16string_view text) {
  for (char16_t ch : text)
    if (ch < 0x20 || (ch >= 0x7F && ch <= 0x9F)) return true;
  return false;
}

// The text a name reference leads to, up to its terminator but no more than
// `limit` characters; no value for a null reference or a text that cannot be
// read. With a library loaded, only the library is read: a reference that
// lies outside it is not an offset into the file.
std::optional<std::u16string> ReadText(LayoutWalk& walk, uint32_t reference, size_t limit) {
  const Location at = walk.resolver.Resolve(reference, walk.anchor);
  if (at.IsNull()) return std::nullopt;
  if (walk.memory.HasLibrary() && at.space != Space::Library) return std::nullopt;
  std::u16string text;
  while (text.size() < limit) {
    const auto ch = walk.memory.U16(at + text.size() * 2);
    if (!ch) return std::nullopt;
    if (*ch == 0) break;
    text.push_back(static_cast<char16_t>(*ch));
  }
  return text;
}

std::u16string KeyName(LayoutWalk& walk, uint8_t scan, uint32_t reference) {
  const auto text = ReadText(walk, reference, kMaxKeyNameLength);
  return text && !HasControlCharacter(*text) ? *text : DefaultNameOfScan(scan);
}

std::u16string ExtendedKeyName(LayoutWalk& walk, uint8_t scan, uint32_t reference) {
  const auto text = ReadText(walk, reference, kMaxKeyNameLength);
  if (!text) return {};
  return HasControlCharacter(*text) || *text == u" " ? DefaultNameOfScan(scan) : *text;
}

template <typename NameOf>
bool ReadNameList(LayoutWalk& walk, Location list, KeyNameTable& table, NameOf nameOf) {
  if (list.IsNull()) return true;
  const auto first = walk.memory.U8(list + kbd::kKeyNameScan);
  const auto firstName = walk.memory.U32(list + walk.tables.form->keyNameText);
  if (!first || !firstName) return false;
  // A list may open with an entry for scan code 0; the names follow it. An
  // entry with neither scan code nor name is the end of an empty list.
  if (*first == 0 && *firstName == 0) return true;
  for (uint64_t i = *first == 0 ? 1 : 0; table.count < kMaxKeyNames; ++i) {
    const Location at = list + i * walk.tables.form->keyNameEntrySize;
    const auto scan = walk.memory.U8(at + kbd::kKeyNameScan);
    if (!scan) return false;
    if (*scan == 0) break;
    const auto reference = walk.memory.U32(at + walk.tables.form->keyNameText);
    if (!reference) return false;
    KeyNameEntry& entry = table.entries[size_t(table.count)];
    entry.scan = *scan;
    entry.name = nameOf(walk, *scan, *reference);
    ++table.count;
  }
  return true;
}

// Elements up to the null reference. There is no default name for an
// accent, so an element whose text cannot be read, is empty, or names its
// accent with control characters is left out. The list was never needed to
// read a layout: where it cannot be read, it simply ends.
void ReadDeadKeyNameList(LayoutWalk& walk, KeyNameTable& table) {
  const Location list = walk.tables.pKeyNamesDead;
  for (uint64_t i = 0; !list.IsNull() && i < kMaxDeadKeyNameElements && table.count < kMaxKeyNames; ++i) {
    const auto reference = walk.memory.U32(list + i * walk.tables.form->referenceSize);
    if (!reference || *reference == 0) break;
    const auto text = ReadText(walk, *reference, 1 + kMaxKeyNameLength);
    if (!text || text->empty() || HasControlCharacter(std::u16string_view(*text).substr(1))) continue;
    KeyNameEntry& entry = table.entries[size_t(table.count)];
    entry.scan = (*text)[0];
    entry.name = text->substr(1);
    ++table.count;
  }
}

}  // namespace

bool ReadKeyNames(LayoutWalk& walk) {
  walk.state.keyNames.Empty();
  walk.state.extendedKeyNames.Empty();
  walk.state.deadKeyNames.Empty();
  if (!ReadNameList(walk, walk.tables.pKeyNames, walk.state.keyNames, KeyName) ||
      !ReadNameList(walk, walk.tables.pKeyNamesExt, walk.state.extendedKeyNames, ExtendedKeyName))
    return false;
  ReadDeadKeyNameList(walk, walk.state.deadKeyNames);
  return true;
}

}  // namespace tastora
