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
  // Removes a value, so that an action that fails can take back what it
  // wrote. True when the value is not there afterwards; false where the
  // backend cannot remove values.
  virtual bool DeleteValue(const std::string& name) {
    (void)name;
    return false;
  }
};

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  // Opens `path` (backslash-separated, relative to the root; empty is the root
  // itself) with full access, creating missing keys when `create` is set.
  // Nothing when the key does not exist or cannot be opened that way.
  virtual std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, bool create) = 0;
  // Removes a key that has no subkeys, with its values. True when it is not
  // there afterwards; false where the backend cannot remove keys.
  virtual bool DeleteKey(RootKey root, const std::string& path) {
    (void)root;
    (void)path;
    return false;
  }

  // A registry read from files is read once and kept. This reads again each
  // file another program changed since; an action that changes the system
  // calls it once it holds the system's lock, to start from what is there.
  // False when a file can no longer be read (reported). The live registry
  // of Windows needs nothing.
  virtual bool RefreshIfChanged() { return true; }

  // Between BeginWrites and the matching EndWrites, changes are kept and
  // only written by the outermost EndWrites: each changed file once, in a
  // fixed order. Outside them every change is written at once. EndWrites is
  // false when a file could not be written (reported); that file and the
  // ones after it keep what they held before. The live registry of Windows
  // writes at once in any case.
  virtual void BeginWrites() {}
  virtual bool EndWrites() { return true; }
};

// The registry changes of one action, written together: by Commit, which
// says whether they were written, or else when it goes out of scope.
class RegistryWrites {
 public:
  explicit RegistryWrites(RegistryBackend& registry) : registry_(&registry) { registry.BeginWrites(); }
  ~RegistryWrites() {
    if (registry_) registry_->EndWrites();
  }
  RegistryWrites(const RegistryWrites&) = delete;
  RegistryWrites& operator=(const RegistryWrites&) = delete;

  bool Commit() {
    RegistryBackend* registry = registry_;
    registry_ = nullptr;
    return !registry || registry->EndWrites();
  }

 private:
  RegistryBackend* registry_;
};

}  // namespace tastora
