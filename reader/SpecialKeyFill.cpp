#include "model/CompanionTables.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "reader/LayoutWalk.h"

namespace tastora {

// The control-character keys keep what they produce in the special-key table,
// not as characters assigned to a non-typing key.
void FillSpecialKeys(KeyboardLayout& layout, ProcessState& state) {
  constexpr std::array<int, kSpecialKeyStates> kColumns{kColumnNormal, kColumnShift, kColumnAltGr,
                                                        kColumnShiftAltGr, kColumnCtrl};
  for (int n = kFirstNonTypingKey; n <= kKeyCount; ++n) {
    KeyRecord& key = layout.Key(n);
    for (int j = 1; j <= kSpecialKeyCount; ++j) {
      if (key.vk != SpecialKeyVk(j) || key.vk != DefaultVk(n, true)) continue;
      for (int s = 1; s <= kSpecialKeyStates; ++s) state.specialKeys.At(j, s) = key.chars[size_t(kColumns[size_t(s - 1)])];
      key.AssignedChar = 0;
    }
  }
}

}  // namespace tastora
