#pragma once
// One action at a time per system. Whatever changes a system (install,
// create, new, restore, init, and every write of "loader.ini") holds its
// lock from the first read it acts on to the last write, so that two
// programs never mix their changes. On Windows the lock is a named mutex in
// the global namespace, one for the machine; offline it is an advisory lock
// on a file in the root folder.

#include <chrono>
#include <memory>
#include <string>

namespace tastora {

class Dialogs;

enum class LockOutcome {
  Taken,   // held until Release
  Busy,    // another program still held it when the wait ran out
  Failed,  // it cannot be had at all (the lock file cannot be made, ...)
};

class ActionLock {
 public:
  virtual ~ActionLock() = default;
  // Takes the lock, waiting at most `wait` for another program to release
  // it. Not re-entrant: callers nest their own scopes on one acquisition.
  virtual LockOutcome Acquire(std::chrono::milliseconds wait, std::string& error) = 0;
  virtual void Release() = 0;
  // With the lock held, so that no program of ours is writing: removes the
  // temporary files of our own naming that a program killed while writing
  // left behind on this system.
  virtual void RemoveStaleTemporaries() = 0;
};

// The lock of the system OpenSystem(rootDir) opens: offline a file in the
// root folder (made with the folder when it is not there yet, as init needs
// it before the root exists); on Windows the machine's, with `rootDir` empty.
std::unique_ptr<ActionLock> OpenActionLock(const std::string& rootDir);

inline constexpr std::chrono::milliseconds kDefaultLockWait{30000};

// The lock taken as every action takes it: at once when it is free, else
// after telling the user and waiting up to `wait`. When it cannot be had the
// refusal is shown and the action must not go on.
bool HoldForAction(ActionLock& lock, std::chrono::milliseconds wait, Dialogs& dialogs);

// The texts of that wait and refusal.
std::string LockWaitText(std::chrono::milliseconds wait);
inline constexpr char kLockBusy[] =
    "Another program is still changing the keyboard layouts of this system, so nothing was done. Try again when "
    "it has finished.";

}  // namespace tastora
