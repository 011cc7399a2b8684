#include "platform/ActionLock.h"

#include "platform/Platform.h"

namespace tastora {

std::string LockWaitText(std::chrono::milliseconds wait) {
  const auto seconds = (wait.count() + 999) / 1000;
  return "Another program is changing the keyboard layouts of this system; waiting up to " +
         std::to_string(seconds) + (seconds == 1 ? " second" : " seconds") + " for it to finish.";
}

bool HoldForAction(ActionLock& lock, std::chrono::milliseconds wait, Dialogs& dialogs) {
  std::string error;
  LockOutcome outcome = lock.Acquire(std::chrono::milliseconds(0), error);
  if (outcome == LockOutcome::Busy && wait.count() > 0) {
    dialogs.ShowMessage(LockWaitText(wait));
    outcome = lock.Acquire(wait, error);
  }
  switch (outcome) {
    case LockOutcome::Taken: return true;
    case LockOutcome::Busy: dialogs.ShowError(kLockBusy, "Error"); return false;
    case LockOutcome::Failed: break;
  }
  dialogs.ShowError("The lock that keeps two programs from changing this system at once could not be taken, so " +
                        std::string("nothing was done.\r") + error,
                    "Error");
  return false;
}

}  // namespace tastora
