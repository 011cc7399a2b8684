#pragma once
// The registry through the Windows "A" functions.

#include "platform/RegistryBackend.h"

namespace tastora {

class Win32Registry final : public RegistryBackend {
 public:
  std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, bool create) override;
  bool DeleteKey(RootKey root, const std::string& path) override;
};

}  // namespace tastora
