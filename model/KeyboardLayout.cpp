#include "model/KeyboardLayout.h"

#include <cstring>

#include "model/DefaultKeyNames.h"
#include "model/KeyTable.h"
#include "model/ProcessState.h"

namespace tastora {

void Clear(KeyboardLayout& layout, ProcessState& state) {
  std::memset(static_cast<void*>(&layout), 0, sizeof layout);
  const bool nt = state.IsNtPlatform();
  for (int n = 1; n <= kLastKey; ++n) {
    KeyRecord& key = layout.Key(n);
    key.index = n;
    key.vk = DefaultVk(n, nt);
  }
  state.specialKeys.ResetToDefaults();
}

void ResetToDefault(KeyboardLayout& layout, ProcessState& state) {
  Clear(layout, state);
  const bool nt = state.IsNtPlatform();
  for (int n = 1; n <= kKeyCount; ++n) {
    if (!nt && n >= kFirstKeypadKey && n <= kLastKeypadKey) continue;
    const KeyTableRow& row = KeyRow(n);
    KeyRecord& key = layout.Key(n);
    key.chars.fill(0);
    key.chars[0] = row.normal;
    key.chars[1] = row.shifted;
    key.CapsAware = row.normal >= u'a' && row.normal <= u'z' ? 1 : 0;
    key.CapsAware2 = 0;
    key.ShiftLock = 0;
    key.AssignedChar = 0;
  }
  FillDefaultKeyNames(state.keyNames, state.extendedKeyNames);
  state.deadKeyNames.Empty();
}

int FindKeyByVk(const KeyboardLayout& layout, uint16_t vk) {
  for (int n = 1; n <= kKeyCount; ++n)
    if (layout.Key(n).vk == vk) return n;
  return 0;
}

int FindKeyByScan(int scan) {
  for (const KeyTableRow& row : KeyTable())
    if (row.scan == scan) return row.number;
  return -1;
}

int FindAnyKeyByScan(int scan) {
  const int key = FindKeyByScan(scan);
  if (key > 0) return key;
  for (int n = kFirstExtraKey; n <= kLastKey; ++n)
    if (KeyRow(n).scan == scan) return n;
  return -1;
}

bool HasCharacters(const KeyRecord& key) {
  for (int s = 0; s < kSlotCount; ++s)
    if (key.chars[size_t(s)] != 0 || key.dead[size_t(s)] != 0) return true;
  return false;
}

int FindKeyByScanOrZero(int scan) {
  const int key = FindKeyByScan(scan);
  return key < 0 ? 0 : key;
}

}  // namespace tastora
