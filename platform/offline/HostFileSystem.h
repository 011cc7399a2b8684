#pragma once
// Files on the host, by host path.

#include "platform/Platform.h"

namespace tastora {

class HostFileSystem : public FileSystem {
 public:
  std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes,
                                               bool openForWriting) override;
};

}  // namespace tastora
