#pragma once
// The registry as the core asks for it: open a key under one of the
// predefined roots, read and write its values, list its values and subkeys,
// close it. Names and string data are 8-bit text in the system code page, as
// the Windows "A" functions hand them over.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tastora {

// The predefined roots, in the order the accessor's RootKey property lists them.
enum class RootKey { hkClassesRoot, hkCurrentConfig, hkCurrentUser, hkDynData, hkLocalMachine, hkUsers };

// Value types as Windows numbers them.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegLink = 6;
inline constexpr uint32_t kRegMultiSz = 7;

// A value's type and its bytes as RegQueryValueExA returns them (string data
// in the system code page, with its terminating zero).
struct RegistryData {
  uint32_t type = kRegNone;
  std::vector<uint8_t> bytes;
};

// An open key; destroying it closes it.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // No value when the key has no value of that name. An empty name is the
  // key's default value.
  virtual std::optional<RegistryData> QueryValue(const std::string& name) = 0;
  // False when the value could not be stored.
  virtual bool SetValue(const std::string& name, const RegistryData& data) = 0;
  virtual std::vector<std::string> ValueNames() = 0;
  virtual std::vector<std::string> SubkeyNames() = 0;
};

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  // Opens `path` (backslash-separated, relative to the root; empty is the root
  // itself) with full access, creating missing keys when `create` is set.
  // Nothing when the key does not exist or cannot be opened that way.
  virtual std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, bool create) = 0;
};

}  // namespace tastora
