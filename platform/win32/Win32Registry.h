#pragma once
// The registry through the Windows "W" functions. Key and value names are
// UTF-8 on our side; so is string data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ),
// converted with its zeros, so that the core sees the bytes it would have
// got from the "A" functions, terminators and all, only in UTF-8 rather than
// the ANSI code page. Other data passes through untouched.

#include "platform/RegistryBackend.h"

namespace tastora {

class Win32Registry final : public RegistryBackend {
 public:
  std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, bool create) override;
  bool DeleteKey(RootKey root, const std::string& path) override;
};

}  // namespace tastora
