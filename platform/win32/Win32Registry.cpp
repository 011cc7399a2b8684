#include "platform/win32/Win32Registry.h"

#include <windows.h>

namespace tastora {
namespace {

HKEY RootHandle(RootKey root) {
  switch (root) {
    case RootKey::hkClassesRoot: return HKEY_CLASSES_ROOT;
    case RootKey::hkCurrentConfig: return HKEY_CURRENT_CONFIG;
    case RootKey::hkCurrentUser: return HKEY_CURRENT_USER;
    case RootKey::hkDynData: return HKEY_DYN_DATA;
    case RootKey::hkLocalMachine: return HKEY_LOCAL_MACHINE;
    case RootKey::hkUsers: return HKEY_USERS;
  }
  return HKEY_CURRENT_USER;
}

class Win32RegistryKey final : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }
  Win32RegistryKey(const Win32RegistryKey&) = delete;
  Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

  std::optional<RegistryData> QueryValue(const std::string& name) override {
    RegistryData data;
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between the two calls; ask again until it fits.
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
      data.bytes.resize(size);
      DWORD got = size;
      result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, data.bytes.empty() ? nullptr : data.bytes.data(),
                                &got);
      if (result == ERROR_SUCCESS) {
        data.bytes.resize(got);
        data.type = type;
        return data;
      }
      size = got > size ? got : size + 256;
    }
    return std::nullopt;
  }

  bool SetValue(const std::string& name, const RegistryData& data) override {
    return RegSetValueExA(key_, name.c_str(), 0, data.type, data.bytes.empty() ? nullptr : data.bytes.data(),
                          DWORD(data.bytes.size())) == ERROR_SUCCESS;
  }

  bool DeleteValue(const std::string& name) override {
    const LONG result = RegDeleteValueA(key_, name.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
  }

  std::vector<std::string> ValueNames() override {
    return Enumerate([this](DWORD index, char* buffer, DWORD* length) {
      return RegEnumValueA(key_, index, buffer, length, nullptr, nullptr, nullptr, nullptr);
    }, true);
  }

  std::vector<std::string> SubkeyNames() override {
    return Enumerate([this](DWORD index, char* buffer, DWORD* length) {
      return RegEnumKeyExA(key_, index, buffer, length, nullptr, nullptr, nullptr, nullptr);
    }, false);
  }

 private:
  template <typename EnumFn>
  std::vector<std::string> Enumerate(EnumFn enumerate, bool values) {
    std::vector<std::string> names;
    DWORD maxSubkey = 0;
    DWORD maxValue = 0;
    if (RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, &maxSubkey, nullptr, nullptr, &maxValue, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
      return names;
    std::string buffer((values ? maxValue : maxSubkey) + 1, '\0');
    for (DWORD index = 0;;) {
      DWORD length = DWORD(buffer.size());
      const LONG result = enumerate(index, buffer.data(), &length);
      if (result == ERROR_MORE_DATA) {
        buffer.resize(buffer.size() * 2);
        continue;
      }
      if (result != ERROR_SUCCESS) break;
      names.emplace_back(buffer.data(), length);
      ++index;
    }
    return names;
  }

  HKEY key_;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32Registry::Open(RootKey root, const std::string& path, bool create) {
  HKEY key = nullptr;
  const LONG result =
      create ? RegCreateKeyExA(RootHandle(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, &key, nullptr)
             : RegOpenKeyExA(RootHandle(root), path.c_str(), 0, KEY_ALL_ACCESS, &key);
  if (result != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32RegistryKey>(key);
}

bool Win32Registry::DeleteKey(RootKey root, const std::string& path) {
  const LONG result = RegDeleteKeyA(RootHandle(root), path.c_str());
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace tastora
