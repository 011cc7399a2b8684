#include "platform/offline/OfflineActionLock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <system_error>
#include <thread>

#include "platform/offline/OfflineRoot.h"

namespace tastora {
namespace fs = std::filesystem;
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i)
    if (Lower(text[text.size() - suffix.size() + i]) != Lower(suffix[i])) return false;
  return true;
}

bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Removes the regular files of `folder` that are temporaries of a file `wanted` accepts.
template <typename Wanted>
void RemoveTemporaries(const fs::path& folder, Wanted wanted) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const auto target = TemporaryTarget(name);
    if (!target || !wanted(*target)) continue;
    std::error_code statError;
    if (!fs::is_regular_file(it->symlink_status(statError))) continue;
    std::error_code removeError;
    fs::remove(it->path(), removeError);
  }
}

}  // namespace

std::optional<std::string_view> TemporaryTarget(std::string_view fileName) {
  constexpr size_t kRandom = 6;
  // ".", at least one character of name, ".", six random ones.
  if (fileName.size() < kRandom + 3 || fileName[0] != '.') return std::nullopt;
  const size_t dot = fileName.size() - kRandom - 1;
  if (fileName[dot] != '.') return std::nullopt;
  for (size_t i = dot + 1; i < fileName.size(); ++i)
    if (!IsAlnum(fileName[i])) return std::nullopt;
  return fileName.substr(1, dot - 1);
}

OfflineActionLock::~OfflineActionLock() {
  if (fd_ >= 0) ::close(fd_);
}

LockOutcome OfflineActionLock::Acquire(std::chrono::milliseconds wait, std::string& error) {
  const fs::path file = rootDir_ / kLockFileName;
  if (fd_ < 0) {
    std::error_code ec;
    fs::create_directories(rootDir_, ec);
    // Not inherited by programs we start: they must not keep our lock alive.
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      error = "Could not open the lock file (" + std::string(std::strerror(errno)) + "):\r" + file.string();
      return LockOutcome::Failed;
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return LockOutcome::Taken;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      error = "Could not lock the lock file (" + std::string(std::strerror(errno)) + "):\r" + file.string();
      return LockOutcome::Failed;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return LockOutcome::Busy;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(deadline - now,
                                                                             std::chrono::milliseconds(20)));
  }
}

void OfflineActionLock::Release() {
  if (fd_ >= 0) ::flock(fd_, LOCK_UN);
}

void OfflineActionLock::RemoveStaleTemporaries() {
  const OfflineRoot root(rootDir_);
  RemoveTemporaries(rootDir_, [](std::string_view target) {
    return (target.size() == 10 && EndsWithNoCase(target, "system.reg")) ||
           (target.size() == 8 && EndsWithNoCase(target, "user.reg"));
  });
  const fs::path windows = root.WindowsFolder();
  RemoveTemporaries(windows, [](std::string_view target) { return EndsWithNoCase(target, ".ini"); });
  for (const char* folder : {"system32", "syswow64", "system"}) {
    RemoveTemporaries(OfflineRoot::Match(windows, folder), [](std::string_view target) {
      return EndsWithNoCase(target, ".dll") || EndsWithNoCase(target, ".kbd") || EndsWithNoCase(target, ".vyr");
    });
  }
}

std::unique_ptr<ActionLock> OpenActionLock(const std::string& rootDir) {
  return std::make_unique<OfflineActionLock>(rootDir);
}

}  // namespace tastora
