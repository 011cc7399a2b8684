#include "platform/offline/RootMachine.h"

#include <strings.h>

#include <algorithm>
#include <optional>
#include <string>

namespace tastora {

Processor RootMachine(RegistryBackend& registry, const OfflineRoot& root) {
  const Processor fallback = root.Is64Bit() ? Processor::X64 : Processor::X86;
  const auto key = registry.Open(RootKey::hkLocalMachine, kEnvironmentKey, false);
  const auto value = key ? key->QueryValue(kProcessorArchitecture) : std::nullopt;
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) return fallback;
  const std::string name(value->bytes.begin(), std::find(value->bytes.begin(), value->bytes.end(), uint8_t{0}));
  // Windows spells them in these cases; a hand-edited root may not.
  if (::strcasecmp(name.c_str(), "AMD64") == 0) return Processor::X64;
  if (::strcasecmp(name.c_str(), "ARM64") == 0) return Processor::Arm64;
  if (::strcasecmp(name.c_str(), "x86") == 0) return Processor::X86;
  return fallback;
}

}  // namespace tastora
