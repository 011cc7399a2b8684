#include "platform/offline/HostFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tastora {
namespace {

// Closes the descriptor on every way out.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::optional<std::vector<uint8_t>> HostFileSystem::ReadFile(const std::string& path, size_t maxBytes,
                                                             bool openForWriting) {
  // Opened without blocking, so that a FIFO or a terminal given as a file is
  // refused at once instead of waiting for a writer; only a regular file is
  // read.
  const int flags = (openForWriting ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  const Descriptor file{::open(path.c_str(), flags)};
  if (file.fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  // Grow as the file is read: `maxBytes` is a cap, not a size to allocate.
  std::vector<uint8_t> bytes;
  while (bytes.size() < maxBytes) {
    const size_t have = bytes.size();
    const size_t chunk = std::min<size_t>(maxBytes - have, 1u << 16);
    bytes.resize(have + chunk);
    const ssize_t got = ::read(file.fd, bytes.data() + have, chunk);
    if (got < 0 && errno == EINTR) {
      bytes.resize(have);
      continue;
    }
    if (got < 0) return std::nullopt;
    bytes.resize(have + static_cast<size_t>(got));
    if (got == 0) break;
  }
  return bytes;
}

}  // namespace tastora
