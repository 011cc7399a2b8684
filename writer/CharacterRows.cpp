// Special keys, the columns of the character tables, the character rows of
// every key, and the keypad VKs.

#include "format/KbdTables.h"
#include "model/CompanionTables.h"
#include "model/KeyTable.h"
#include "model/Keypad.h"
#include "writer/TableParts.h"

namespace tastora {
namespace {

// Slots of the five special-key states: Normal, Shift, AltGr, Shift+AltGr, Ctrl.
constexpr std::array<int, kSpecialKeyStates> kSpecialStateSlots{0, 1, 6, 7, 2};
// The columns every layout has, by slot: Normal, Shift, AltGr, Shift+AltGr, Ctrl.
constexpr std::array<int, 5> kFixedColumnSlots{0, 1, 6, 7, 2};
// Slots that get a column only when some key types something there:
// Shift+Ctrl, Alt, Shift+Alt.
constexpr std::array<int, 3> kOptionalSlots{3, 4, 5};

constexpr uint8_t kOem8Vk = 0xDF;
constexpr uint8_t kCancelVk = 0x03;

bool IsSpecialKey(const KeyRecord& key, int j) {
  if (key.AssignedChar != 0) return false;
  return (key.Mapped == 0 && key.vk == SpecialKeyVk(j)) || key.Mapped == SpecialKeyFunctionId(j);
}

bool Has(const KeyRecord& key, int slot) { return key.chars[size_t(slot)] != 0; }

// In a library 0 is the character U+0000; an empty slot is WCH_NONE.
uint16_t LibraryChar(uint16_t ch) { return ch == 0 ? kbd::kCharNone : ch; }

// One more than the last column that holds a character of the key.
int WidthOf(const KeyRecord& key, const ColumnPlan& plan) {
  const bool lock = key.ShiftLock == 1;
  int width = 1;
  for (int c = 0; c < plan.Columns(); ++c) {
    const int slot = plan.slotOfColumn[size_t(c)];
    if (Has(key, slot) || (lock && Has(key, slot + kCapsLockSlotOffset))) width = c + 1;
  }
  return width;
}

uint8_t Attributes(const KeyRecord& key, bool sgCaps) {
  return static_cast<uint8_t>((key.CapsAware ? kbd::kAttrCapsLock : 0) | (sgCaps ? kbd::kAttrSgCaps : 0) |
                              (key.CapsAware2 ? kbd::kAttrCapsLockAltGr : 0));
}

// The rows of one key. Windows reads the row after a row's WCH_DEAD as the
// accents, and the row after an SGCAPS row as the Caps Lock set; with both,
// one row serves as the accents of the first and as the Caps Lock set, and
// a Caps Lock set's own dead keys take their accents from the row after it.
void AddRows(const KeyRecord& key, int width, const ColumnPlan& plan, std::vector<CharacterRow>& rows) {
  const bool lock = key.ShiftLock == 1;
  const uint8_t vk = static_cast<uint8_t>(key.vk & 0xFF);
  auto slotOf = [&](int c) { return size_t(plan.slotOfColumn[size_t(c)]); };
  auto capsSlotOf = [&](int c) { return slotOf(c) + kCapsLockSlotOffset; };

  CharacterRow main{vk, Attributes(key, lock), {}};
  bool mainDead = false;
  for (int c = 0; c < width; ++c) {
    const bool dead = key.dead[slotOf(c)] == 1;
    mainDead = mainDead || dead;
    main.chars[size_t(c)] = dead ? kbd::kCharDead : LibraryChar(key.chars[slotOf(c)]);
  }
  rows.push_back(main);
  if (!lock && !mainDead) return;

  // The accents of the first row and, with Caps Lock, the Caps Lock set.
  CharacterRow second{mainDead ? kbd::kVkDeadRow : vk, mainDead ? main.attributes : Attributes(key, false), {}};
  bool capsDead = false;
  for (int c = 0; c < width; ++c) {
    uint16_t ch = kbd::kCharNone;
    if (key.dead[slotOf(c)] == 1) {
      ch = key.chars[slotOf(c)];
    } else if (lock && key.dead[capsSlotOf(c)] == 1) {
      ch = kbd::kCharDead;
      capsDead = true;
    } else if (lock) {
      ch = LibraryChar(key.chars[capsSlotOf(c)]);
    }
    second.chars[size_t(c)] = ch;
  }
  rows.push_back(second);
  if (!capsDead) return;

  CharacterRow accents{kbd::kVkDeadRow, second.attributes, {}};
  for (int c = 0; c < width; ++c)
    accents.chars[size_t(c)] = second.chars[size_t(c)] == kbd::kCharDead ? key.chars[capsSlotOf(c)] : kbd::kCharNone;
  rows.push_back(accents);
}

bool CarriesVk(const CharacterTables& tables, uint8_t vk) {
  for (const std::vector<CharacterRow>& rows : tables)
    for (const CharacterRow& row : rows)
      if (row.vk == vk) return true;
  return false;
}

// The seed rows stand first in their tables, but only for VKs that no key
// of the layout types with: Windows takes the first row of a VK.
void AddSeedRows(CharacterTables& tables) {
  if (!CarriesVk(tables, kOem8Vk))
    tables[1].insert(tables[1].begin(), CharacterRow{kOem8Vk, 0, {kbd::kCharNone, kbd::kCharNone}});
  if (!CarriesVk(tables, kCancelVk))
    tables[2].insert(tables[2].begin(), CharacterRow{kCancelVk, 0, {0x0003, 0x0003, 0x0003}});
}

}  // namespace

bool HasCharacterRows(const KeyRecord& key, int number) {
  const uint8_t vk = static_cast<uint8_t>(key.vk & 0xFF);
  // VK 0 would end a table and VK 0xFF would read as the accents of the row before.
  if (key.Mapped != 0 || vk == 0 || vk == kbd::kVkDeadRow) return false;
  if (number >= kFirstExtraKey) return HasCharacters(key);
  return number < kFirstNonTypingKey || key.AssignedChar != 0;
}

ColumnPlan PlanColumns(const WorkingKeys& keys, const KeyboardLayout& layout) {
  ColumnPlan plan;
  plan.columnOfSlot.fill(kNoColumn);
  auto give = [&plan](int slot) {
    plan.columnOfSlot[size_t(slot)] = static_cast<uint8_t>(plan.slotOfColumn.size());
    plan.slotOfColumn.push_back(slot);
  };
  for (const int slot : kFixedColumnSlots) give(slot);
  for (const int slot : kOptionalSlots) {
    bool used = false;
    for (int n = 1; n <= kLastKey && !used; ++n) {
      const KeyRecord& key = keys.Key(n);
      if (!HasCharacterRows(key, n)) continue;
      used = Has(key, slot) || (key.ShiftLock == 1 && Has(key, slot + kCapsLockSlotOffset)) ||
             layout.ligatures[size_t(n)][size_t(slot)].length > 0;
    }
    if (used) give(slot);
  }
  return plan;
}

void ApplySpecialKeys(WorkingKeys& keys, const SpecialKeyTable& specialKeys) {
  for (int n = 1; n <= kKeyCount; ++n) {
    KeyRecord& key = keys.Key(n);
    for (int j = 1; j <= kSpecialKeyCount; ++j) {
      if (!IsSpecialKey(key, j)) continue;
      key.vk = SpecialKeyVk(j);
      key.Mapped = 0;
      key.AssignedChar = 1;  // which also keeps it from matching a later special key
      key.ShiftLock = 0;
      key.CapsAware = 0;
      key.CapsAware2 = 0;
      for (int state = 1; state <= kSpecialKeyStates; ++state)
        key.chars[size_t(kSpecialStateSlots[size_t(state - 1)])] = specialKeys.At(j, state);
      break;
    }
  }
}

CharacterTables BuildCharacterRows(const WorkingKeys& keys, const ColumnPlan& plan) {
  CharacterTables tables;
  for (int n = 1; n <= kLastKey; ++n) {
    const KeyRecord& key = keys.Key(n);
    if (!HasCharacterRows(key, n)) continue;
    const int width = WidthOf(key, plan);
    AddRows(key, width, plan, tables[size_t(width - 1)]);
  }
  AddSeedRows(tables);
  return tables;
}

void ApplyKeypadVks(WorkingKeys& keys) {
  for (const KeypadVkPair& pair : KeypadVkPairs()) {
    KeyRecord& key = keys.Key(pair.key);
    if ((key.vk & 0xFF) == pair.modelVk) key.vk = pair.libraryVk;
  }
}

}  // namespace tastora
