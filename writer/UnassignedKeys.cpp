#include "writer/UnassignedKeys.h"

#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"

namespace tastora {

void NormaliseUnassignedKeys(KeyboardLayout& layout, const ProcessState& state) {
  for (int n = kFirstNonTypingKey; n <= kKeyCount; ++n) {
    KeyRecord& key = layout.Key(n);
    if (key.AssignedChar != 0) continue;
    key.chars.fill(0);
    key.vk = state.IsNtPlatform() ? ExpectedVk(n - 63) : OtherPlatformExpectedVk(n - 63);
  }
}

}  // namespace tastora
