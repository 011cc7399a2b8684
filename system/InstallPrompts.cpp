// After an install: the new layout is loaded only by a new log-on (a restart
// on the 8-bit family), which the user may start at once.

#include "platform/Platform.h"
#include "platform/Session.h"
#include "system/LayoutInstaller.h"

namespace tastora {

void LayoutInstaller::AskLogOff() {
  if (ports_.dialogs.AskYesNo(kAskLogOff)) (void)ports_.session.EndSession(ExitMode::LogOff);
}

void LayoutInstaller::AskRestart() {
  if (ports_.dialogs.AskYesNo(kAskRestart)) (void)ports_.session.EndSession(ExitMode::Restart);
}

}  // namespace tastora
