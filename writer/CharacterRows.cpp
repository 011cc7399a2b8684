// Special keys, the character rows of every key, and the keypad VKs.

#include "model/CompanionTables.h"
#include "model/KeyTable.h"
#include "model/Keypad.h"
#include "writer/KbdStructures.h"
#include "writer/TableParts.h"

namespace tastora {
namespace {

// Slots of the five special-key states: Normal, Shift, AltGr, Shift+AltGr, Ctrl.
constexpr std::array<int, kSpecialKeyStates> kSpecialStateSlots{0, 1, 6, 7, 2};

bool IsSpecialKey(const KeyRecord& key, int j) {
  if (key.AssignedChar != 0) return false;
  return (key.Mapped == 0 && key.vk == SpecialKeyVk(j)) || key.Mapped == SpecialKeyFunctionId(j);
}

bool Has(const KeyRecord& key, int slot) { return key.chars[size_t(slot)] != 0; }

// The narrowest table that holds every character the key has in the
// columns a table can carry.
int WidthOf(const KeyRecord& key) {
  const bool lock = key.ShiftLock == 1;
  auto uses = [&](int slot) { return Has(key, slot) || (lock && Has(key, slot + kCapsLockSlotOffset)); };
  if (uses(kColumnCtrl)) return 5;
  if (uses(kColumnShiftAltGr)) return 4;
  if (uses(kColumnAltGr)) return 3;
  if (uses(kColumnShift)) return 2;
  return 1;
}

// One pass over the key's slots from `offset`: its main row and, when the
// main row has dead characters, the dead row after it. Returns whether the
// main row had dead characters.
bool AddRows(const KeyRecord& key, int width, int offset, bool shiftLock, std::vector<CharacterRow>& rows) {
  const uint8_t attributes = static_cast<uint8_t>((key.CapsAware ? kbdw::kAttrCapsLock : 0) |
                                                  (shiftLock ? kbdw::kAttrSgCaps : 0) |
                                                  (key.CapsAware2 ? kbdw::kAttrCapsLockAltGr : 0));
  CharacterRow main{static_cast<uint8_t>(key.vk & 0xFF), attributes, {}};
  bool dead = false;
  for (int k = 0; k < width; ++k) {
    const size_t s = size_t(kColumnSlots[size_t(k)] + offset);
    dead = dead || key.dead[s] == 1;
    main.chars[size_t(k)] = key.dead[s] == 1 ? kbdw::kCharDead : key.chars[s];
  }
  rows.push_back(main);
  if (!dead) return false;
  CharacterRow deadRow{kbdw::kVkDeadRow, attributes, {}};
  for (int k = 0; k < width; ++k) {
    const size_t s = size_t(kColumnSlots[size_t(k)] + offset);
    if (key.dead[s] == 1)
      deadRow.chars[size_t(k)] = key.chars[s];
    else if (shiftLock)
      deadRow.chars[size_t(k)] = key.chars[size_t(kColumnSlots[size_t(k)] + kCapsLockSlotOffset)];
    else
      deadRow.chars[size_t(k)] = kbdw::kCharNone;
  }
  rows.push_back(deadRow);
  return true;
}

}  // namespace

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

CharacterTables BuildCharacterRows(const WorkingKeys& keys) {
  CharacterTables tables;
  tables[1].push_back({0xDF, 0, {kbdw::kCharNone, kbdw::kCharNone}});
  tables[2].push_back({0x03, 0, {0x0003, 0x0003, 0x0003}});
  for (int n = 1; n <= kKeyCount; ++n) {
    const KeyRecord& key = keys.Key(n);
    if (key.Mapped != 0 || (n >= kFirstNonTypingKey && key.AssignedChar == 0)) continue;
    const int width = WidthOf(key);
    std::vector<CharacterRow>& rows = tables[size_t(width - 1)];
    const bool shiftLock = key.ShiftLock == 1;
    const bool dead = AddRows(key, width, 0, shiftLock, rows);
    if (shiftLock && !dead) AddRows(key, width, kCapsLockSlotOffset, false, rows);
  }
  return tables;
}

void ApplyKeypadVks(WorkingKeys& keys) {
  for (const KeypadVkPair& pair : KeypadVkPairs()) {
    KeyRecord& key = keys.Key(pair.key);
    if ((key.vk & 0xFF) == pair.modelVk) key.vk = pair.libraryVk;
  }
}

}  // namespace tastora
