// The character tables: which modification column is which shift state, and
// the rows of characters, dead keys and Caps Lock alternatives per key.

#include <algorithm>

#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "reader/KbdTables.h"
#include "reader/LayoutWalk.h"

namespace tastora {
namespace {

// Modifier bit mask (Shift 1, Ctrl 2, Alt 4) to model shift state.
constexpr std::array<uint8_t, 8> kStateOfModifierBits{0, 1, 4, kNoState, kNoState, kNoState, 2, 3};
constexpr std::array<int, 5> kColumnOfState{kColumnNormal, kColumnShift, kColumnAltGr, kColumnShiftAltGr,
                                            kColumnCtrl};
constexpr int kMaxCharacterTables = 8;
constexpr int kMaxRows = 501;

enum class DeadRow { None, Announced, Current };

struct RowState {
  DeadRow dead = DeadRow::None;
  int deadKey = 0;
  bool capsPending = false;
};

bool ReadRow(LayoutWalk& walk, Location row, uint8_t vk, uint8_t modifications, RowState& rs) {
  const auto attributes = walk.memory.U8(row + kbd::kRowAttributes);
  if (!attributes) return false;
  int k = 0;
  if (rs.dead == DeadRow::Announced && vk == kbd::kVkDeadRow) {
    rs.dead = DeadRow::Current;  // the accents of the key that announced them
    k = rs.deadKey;
  } else {
    rs.dead = DeadRow::None;
    k = KeyForVk(walk.layout, walk.keypadEnterVk, vk);
  }
  if (k == 0) return true;
  KeyRecord& key = walk.layout.Key(k);
  if (rs.dead == DeadRow::None) {
    key.CapsAware = (*attributes & kbd::kAttrCapsLock) ? 1 : 0;
    key.CapsAware2 = (*attributes & kbd::kAttrCapsLockAltGr) ? 1 : 0;
  }
  int offset = 0;
  if (rs.capsPending) {
    rs.capsPending = false;
    offset = kCapsLockSlotOffset;
  } else {
    rs.capsPending = (*attributes & kbd::kAttrSgCaps) != 0;
    key.ShiftLock = rs.capsPending ? 1 : 0;
  }
  for (int l = 0; l < std::min<int>(modifications, 8); ++l) {
    const uint8_t s = walk.columnState[size_t(l)];
    if (s == kNoState) continue;
    const auto ch = walk.memory.U16(row + kbd::kRowChars + uint64_t(l) * 2);
    if (!ch) return false;
    const int col = ColumnOfState(s);
    uint16_t value = *ch;
    if (*ch == kbd::kCharNone) {
      value = 0;
    } else if (*ch == kbd::kCharDead) {
      value = 0;
      rs.dead = DeadRow::Announced;
      rs.deadKey = k;
      key.dead[size_t(col)] = 1;
    }
    // The accent of a dead key goes to its primary slot.
    if (value != 0)
      key.chars[size_t(key.dead[size_t(col)] ? col : col + offset)] = value;
    else if (rs.dead != DeadRow::Current)
      key.chars[size_t(col + offset)] = 0;
  }
  return true;
}

bool ReadCharacterTable(LayoutWalk& walk, Location rows, uint8_t modifications, uint8_t rowSize) {
  RowState rs;
  for (int r = 0; !rows.IsNull() && r < kMaxRows; ++r) {
    const Location row = rows + uint64_t(r) * rowSize;
    const auto vk = walk.memory.U8(row + kbd::kRowVk);
    if (!vk) return false;
    if (*vk == 0) break;
    if (!ReadRow(walk, row, *vk, modifications, rs)) return false;
  }
  return true;
}

}  // namespace

int ColumnOfState(uint8_t state) { return kColumnOfState[state]; }

bool ReadColumnStates(LayoutWalk& walk) {
  walk.columnState.fill(kNoState);
  const Location modifiers = walk.tables.pCharModifiers;
  if (modifiers.IsNull()) return true;
  const auto maxModBits = walk.memory.U16(modifiers + kbd::kModMaxModBits);
  if (!maxModBits) return false;
  // Masks of 8 and above have no shift state; their columns are never set.
  for (unsigned m = 0; m <= *maxModBits && m < kStateOfModifierBits.size(); ++m) {
    const auto column = walk.memory.U8(modifiers + kbd::kModNumber + m);
    if (!column) return false;
    const uint8_t state = kStateOfModifierBits[m];
    if (*column != kbd::kShiftInvalid && *column < walk.columnState.size() && state != kNoState)
      walk.columnState[*column] = state;
  }
  return true;
}

bool ReadCharacters(LayoutWalk& walk) {
  const Location list = walk.tables.pVkToWcharTable;
  for (int t = 0; !list.IsNull() && t < kMaxCharacterTables; ++t) {
    const Location entry = list + uint64_t(t) * kbd::kCharTableEntrySize;
    const auto rowSize = walk.memory.U8(entry + kbd::kCharTableRowSize);
    if (!rowSize) return false;
    if (*rowSize == 0) break;
    const auto modifications = walk.memory.U8(entry + kbd::kCharTableModifications);
    const auto rows = walk.memory.U32(entry + kbd::kCharTableRows);
    if (!modifications || !rows) return false;
    if (!ReadCharacterTable(walk, walk.resolver.Resolve(*rows, walk.anchor), *modifications, *rowSize))
      return false;
  }
  return true;
}

void MarkAssignedCharacters(KeyboardLayout& layout) {
  for (int n = kFirstNonTypingKey; n <= kKeyCount; ++n) {
    KeyRecord& key = layout.Key(n);
    const bool hasChars = std::any_of(key.chars.begin(), key.chars.begin() + 8, [](uint16_t c) { return c != 0; });
    if (hasChars && key.Mapped == 0 && key.vk != ExpectedVk(n - kLastKeypadKey)) key.AssignedChar = 1;
  }
}

}  // namespace tastora
