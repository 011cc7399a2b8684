#pragma once
// The action lock of a Windows root: an advisory lock (flock) on the file
// "tastora.lock" in the root folder. The kernel drops it with the last
// descriptor, so a program that is killed never leaves the root locked.

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/ActionLock.h"

namespace tastora {

inline constexpr char kLockFileName[] = "tastora.lock";

class OfflineActionLock final : public ActionLock {
 public:
  explicit OfflineActionLock(std::filesystem::path rootDir) : rootDir_(std::move(rootDir)) {}
  ~OfflineActionLock() override;
  OfflineActionLock(const OfflineActionLock&) = delete;
  OfflineActionLock& operator=(const OfflineActionLock&) = delete;

  LockOutcome Acquire(std::chrono::milliseconds wait, std::string& error) override;
  void Release() override;
  // The temporary files our writers make beside their targets
  // (".NAME.XXXXXX"): the registry files in the root, ".ini" files in the
  // Windows folder, layout files in the system folders.
  void RemoveStaleTemporaries() override;

 private:
  std::filesystem::path rootDir_;
  int fd_ = -1;
};

// The name of the file whose temporary file `fileName` would be, as our
// writers name them: "." + name + "." + six letters or digits (mkstemp's
// XXXXXX). Nothing for any other name.
std::optional<std::string_view> TemporaryTarget(std::string_view fileName);

}  // namespace tastora
