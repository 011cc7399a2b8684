#include "platform/offline/HostFileSystem.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace tastora {

std::optional<std::vector<uint8_t>> HostFileSystem::ReadFile(const std::string& path, size_t maxBytes,
                                                             bool openForWriting) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), openForWriting ? "r+b" : "rb"),
                                                       &std::fclose);
  if (!file) return std::nullopt;
  // Grow as the file is read: `maxBytes` is a cap, not a size to allocate.
  std::vector<uint8_t> bytes;
  while (bytes.size() < maxBytes) {
    const size_t have = bytes.size();
    const size_t chunk = std::min<size_t>(maxBytes - have, 1u << 16);
    bytes.resize(have + chunk);
    const size_t got = std::fread(bytes.data() + have, 1, chunk, file.get());
    bytes.resize(have + got);
    if (got < chunk) break;
  }
  if (std::ferror(file.get())) return std::nullopt;
  return bytes;
}

}  // namespace tastora
