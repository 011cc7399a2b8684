// The character tables, read as Windows types with them: for each VK the
// first row that names it, across the tables in their order; each modifier
// mask reads the column the modifier table sends it to, and a Caps Lock row
// or a dead key's accent row is simply the row after the one that asks for it.

#include <algorithm>

#include "format/KbdTables.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "reader/LayoutWalk.h"

namespace tastora {
namespace {

constexpr int kModifierMasks = 8;
// Bounds for tables without their terminators; no layout comes near them.
constexpr int kMaxCharacterTables = 64;
constexpr int kMaxRows = 4096;

struct CharacterTable {
  Location rows;
  uint8_t modifications;
  uint8_t rowSize;
};

// Characters of one row into slots offset..offset+7. A dead key's accent
// stands in the same column of the row after it.
bool ReadRowSlots(LayoutWalk& walk, const CharacterTable& table, Location row, int offset, KeyRecord& key) {
  for (int m = 0; m < kModifierMasks; ++m) {
    const uint8_t column = walk.columnOfMask[size_t(m)];
    if (column == kNoState || column >= table.modifications) continue;
    const auto ch = walk.memory.U16(row + kbd::kRowChars + uint64_t(column) * 2);
    if (!ch) return false;
    const size_t slot = size_t(m + offset);
    if (*ch == kbd::kCharDead) {
      const auto accent = walk.memory.U16(row + table.rowSize + kbd::kRowChars + uint64_t(column) * 2);
      if (!accent) return false;
      if (*accent == kbd::kCharNone || *accent == kbd::kCharDead || *accent == 0) continue;
      key.dead[slot] = 1;
      key.chars[slot] = *accent;
    } else if (*ch != kbd::kCharNone) {
      key.chars[slot] = *ch;  // a literal 0 is no character either
    }
  }
  return true;
}

bool ReadKeyRows(LayoutWalk& walk, const CharacterTable& table, Location row, int k) {
  const auto attributes = walk.memory.U8(row + kbd::kRowAttributes);
  if (!attributes) return false;
  KeyRecord& key = walk.layout.Key(k);
  key.chars.fill(0);
  key.dead.fill(0);
  key.CapsAware = (*attributes & kbd::kAttrCapsLock) ? 1 : 0;
  key.CapsAware2 = (*attributes & kbd::kAttrCapsLockAltGr) ? 1 : 0;
  key.ShiftLock = (*attributes & kbd::kAttrSgCaps) ? 1 : 0;
  if (!ReadRowSlots(walk, table, row, 0, key)) return false;
  // With Caps Lock on, Windows takes the next row whatever VK it carries.
  return !key.ShiftLock || ReadRowSlots(walk, table, row + table.rowSize, kCapsLockSlotOffset, key);
}

bool ReadCharacterTable(LayoutWalk& walk, const CharacterTable& table, std::array<bool, 256>& seen) {
  for (int r = 0; r < kMaxRows; ++r) {
    const Location row = table.rows + uint64_t(r) * table.rowSize;
    const auto vk = walk.memory.U8(row + kbd::kRowVk);
    if (!vk) return false;
    if (*vk == 0) break;
    // Rows of VK 0xFF (accent rows, some Caps Lock rows) never start a
    // lookup, and a later row of a VK already found is never reached.
    if (*vk == kbd::kVkDeadRow || seen[*vk]) continue;
    seen[*vk] = true;
    const int k = KeyForVk(walk.layout, walk.keypadEnterVk, *vk);
    if (k != 0 && !ReadKeyRows(walk, table, row, k)) return false;
  }
  return true;
}

}  // namespace

bool ReadModifiers(LayoutWalk& walk) {
  walk.columnOfMask.fill(kNoState);
  const Location modifiers = walk.tables.pCharModifiers;
  if (modifiers.IsNull()) return true;
  const auto maxModBits = walk.memory.U16(modifiers + walk.tables.form->modMaxModBits);
  if (!maxModBits) return false;
  // Masks of 8 and above (Kana and the like) are not carried by the model.
  for (unsigned m = 0; m <= *maxModBits && m < walk.columnOfMask.size(); ++m) {
    const auto column = walk.memory.U8(modifiers + walk.tables.form->modNumber + m);
    if (!column) return false;
    if (*column != kbd::kShiftInvalid) walk.columnOfMask[m] = *column;
  }
  return true;
}

bool ReadCharacters(LayoutWalk& walk) {
  const Location list = walk.tables.pVkToWcharTable;
  std::array<bool, 256> seen{};
  for (int t = 0; !list.IsNull() && t < kMaxCharacterTables; ++t) {
    const kbd::TableForm& form = *walk.tables.form;
    const Location entry = list + uint64_t(t) * form.charTableEntrySize;
    const auto rowSize = walk.memory.U8(entry + form.charTableRowSize);
    if (!rowSize) return false;
    if (*rowSize == 0) break;
    const auto modifications = walk.memory.U8(entry + form.charTableModifications);
    const auto rows = walk.memory.U32(entry + kbd::kCharTableRows);
    if (!modifications || !rows) return false;
    const CharacterTable table{walk.resolver.Resolve(*rows, walk.anchor), *modifications, *rowSize};
    // A row too short for its columns cannot be read as Windows reads it.
    if (table.rows.IsNull() || *rowSize < kbd::kRowChars + 2u * *modifications) continue;
    if (!ReadCharacterTable(walk, table, seen)) return false;
  }
  return true;
}

// The VK_CANCEL row a library gets when no key of its layout types with
// that VK: 0x03 in Normal, Shift and AltGr. Read back, it is that again,
// not characters of the Break key.
bool IsCancelSeed(const KeyRecord& key, int n) {
  constexpr int kBreakKey = kLastKey;
  constexpr uint16_t kEtx = 0x0003;
  if (n != kBreakKey || (key.vk & 0xFF) != kEtx || key.CapsAware || key.CapsAware2 || key.ShiftLock) return false;
  for (int s = 0; s < kSlotCount; ++s) {
    const bool seeded = s == kColumnNormal || s == kColumnShift || s == kColumnAltGr;
    if (key.dead[size_t(s)] != 0 || key.chars[size_t(s)] != (seeded ? kEtx : 0)) return false;
  }
  return true;
}

void ForgetIdleExtraKeys(KeyboardLayout& layout) {
  for (int n = kFirstExtraKey; n <= kLastKey; ++n) {
    KeyRecord& key = layout.Key(n);
    if (IsCancelSeed(key, n)) key.chars.fill(0);
    if (!HasCharacters(key)) key.vk = DefaultVk(n, true);
  }
}

void MarkAssignedCharacters(KeyboardLayout& layout) {
  for (int n = kFirstNonTypingKey; n <= kKeyCount; ++n) {
    KeyRecord& key = layout.Key(n);
    const bool hasChars = std::any_of(key.chars.begin(), key.chars.begin() + 8, [](uint16_t c) { return c != 0; });
    if (hasChars && key.Mapped == 0 && key.vk != ExpectedVk(n - kLastKeypadKey)) key.AssignedChar = 1;
  }
}

}  // namespace tastora
