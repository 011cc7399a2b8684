#include "platform/win32/Win32ActionLock.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Profile.h"

namespace tastora {
namespace {

constexpr wchar_t kMutexName[] = L"Global\\Tastora.KeyboardLayouts";
// Windows 95, 98 and NT 4 without Terminal Services know no namespaces and
// refuse the backslash: there the machine has one namespace anyway.
constexpr wchar_t kPlainMutexName[] = L"Tastora.KeyboardLayouts";

HANDLE OpenMutexNamed(const wchar_t* name) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  // Made by a program of another user with more rights: open it for waiting only.
  if (!mutex && GetLastError() == ERROR_ACCESS_DENIED) mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
  return mutex;
}

std::string ErrorText(DWORD code) { return "Windows error " + std::to_string(code); }

}  // namespace

Win32ActionLock::~Win32ActionLock() {
  if (mutex_) CloseHandle(static_cast<HANDLE>(mutex_));
}

LockOutcome Win32ActionLock::Acquire(std::chrono::milliseconds wait, std::string& error) {
  if (!mutex_) {
    HANDLE mutex = OpenMutexNamed(kMutexName);
    if (!mutex && GetLastError() != ERROR_ACCESS_DENIED) mutex = OpenMutexNamed(kPlainMutexName);
    if (!mutex) {
      const DWORD code = GetLastError();
      error = "Could not open the mutex (" + ErrorText(code) + "):\r" + Narrow(kMutexName);
      return LockOutcome::Failed;
    }
    mutex_ = mutex;
  }
  const long long longest = INFINITE - 1;  // INFINITE itself would never time out
  const DWORD milliseconds = DWORD(std::clamp<long long>(wait.count(), 0, longest));
  switch (WaitForSingleObject(static_cast<HANDLE>(mutex_), milliseconds)) {
    // An owner that ended without releasing it: every action is whole or
    // nothing on its own, so the system is in a state to act on.
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: return LockOutcome::Taken;
    case WAIT_TIMEOUT: return LockOutcome::Busy;
    default: break;
  }
  const DWORD code = GetLastError();
  error = "Could not wait for the mutex (" + ErrorText(code) + "):\r" + Narrow(kMutexName);
  return LockOutcome::Failed;
}

void Win32ActionLock::Release() {
  if (mutex_) ReleaseMutex(static_cast<HANDLE>(mutex_));
}

void Win32ActionLock::RemoveStaleTemporaries() { RemoveProfileTemporaries(); }

std::unique_ptr<ActionLock> OpenActionLock(const std::string&) { return std::make_unique<Win32ActionLock>(); }

}  // namespace tastora
