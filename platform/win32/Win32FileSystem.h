#pragma once

#include "platform/Platform.h"

namespace tastora {

class Win32FileSystem : public FileSystem {
 public:
  std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes,
                                               bool openForWriting) override;
};

}  // namespace tastora
