#include "format/KbdTables.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/Keypad.h"
#include "reader/LayoutWalk.h"

namespace tastora {

bool FillLayoutModel(LayoutWalk& walk) {
  KeyboardLayout& layout = walk.layout;
  const uint32_t flags = walk.tables.fLocaleFlags;
  walk.keypadEnterVk = -1;
  layout.altgr_used = (flags & kbd::kLocaleAltGr) ? 1 : 0;
  layout.ShiftLockOrig = (flags & kbd::kLocaleShiftLock) ? 1 : 0;
  layout.LRMRLM = (flags & kbd::kLocaleLrmRlm) ? 1 : 0;
  layout.lcid = 0;
  for (int n = 1; n <= kLastKey; ++n) layout.Key(n).vk = DefaultVk(n, true);
  if (!MapScanCodes(walk) || !MapExtraKeys(walk)) return false;
  AdjustNumpad(layout, walk.state);
  if (!ReadDeadKeys(walk) || !ReadKeyNames(walk) || !CollectUnresolvedScanCodes(walk) ||
      !ReadModifiers(walk) || !ReadLigatures(walk) || !ReadCharacters(walk))
    return false;
  ForgetIdleExtraKeys(layout);
  MarkAssignedCharacters(layout);
  return true;
}

}  // namespace tastora
