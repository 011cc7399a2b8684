#include "writer/UnassignedKeys.h"

#include "model/CompanionTables.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"

namespace tastora {

void NormaliseUnassignedKeys(KeyboardLayout& layout, const ProcessState& state) {
  for (int n = kFirstNonTypingKey; n <= kKeyCount; ++n) {
    KeyRecord& key = layout.Key(n);
    if (key.AssignedChar != 0) continue;
    // Tab, Backspace, Esc, Enter and Space type from the special-key table,
    // which has no place for Shift+Ctrl, Alt and Shift+Alt: those stay with
    // the key.
    const bool special = key.Mapped == 0 && IsSpecialKeyVk(key.vk);
    for (int s = 0; s < kSlotCount; ++s)
      if (!special || (s != 3 && s != 4 && s != 5)) key.chars[size_t(s)] = 0;
    key.vk = state.IsNtPlatform() ? ExpectedVk(n - 63) : OtherPlatformExpectedVk(n - 63);
  }
}

}  // namespace tastora
