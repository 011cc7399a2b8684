#pragma once
// The action lock of the running Windows: a named mutex in the global
// namespace, so that programs in every session of the machine share it.
// Windows releases it (abandoned) when its owner ends, killed or not.

#include "platform/ActionLock.h"

namespace tastora {

class Win32ActionLock final : public ActionLock {
 public:
  Win32ActionLock() = default;
  ~Win32ActionLock() override;
  Win32ActionLock(const Win32ActionLock&) = delete;
  Win32ActionLock& operator=(const Win32ActionLock&) = delete;

  LockOutcome Acquire(std::chrono::milliseconds wait, std::string& error) override;
  void Release() override;
  // The temporary file of a settings file replaced whole (Win32Profile).
  void RemoveStaleTemporaries() override;

 private:
  void* mutex_ = nullptr;  // HANDLE
};

}  // namespace tastora
