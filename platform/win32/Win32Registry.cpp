#include "platform/win32/Win32Registry.h"

#include <windows.h>

#include "platform/win32/WideText.h"

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

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Text data as the W functions hold it, as the core takes it: UTF-8 bytes
// with every zero where it was. The zeros convert one for one, so a
// terminated string stays terminated, a REG_MULTI_SZ keeps its list of
// strings and its closing empty one, and text stored without a terminator
// comes without one, as the A functions hand such data over. An odd last
// byte is no UTF-16 unit and is dropped.
std::vector<uint8_t> TextBytes(const std::vector<uint8_t>& wide) {
  std::wstring units(wide.size() / 2, L'\0');
  for (size_t i = 0; i < units.size(); ++i) units[i] = wchar_t(wide[2 * i] | (wide[2 * i + 1] << 8));
  const std::string utf8 = Narrow(units);
  return std::vector<uint8_t>(utf8.begin(), utf8.end());
}

// The reverse: the core's UTF-8 bytes, zeros included, as UTF-16 data
// whose size counts every unit, the terminators the core wrote too.
std::vector<uint8_t> WideBytes(const std::vector<uint8_t>& utf8) {
  const std::wstring units = Widen(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
  std::vector<uint8_t> wide(units.size() * 2);
  for (size_t i = 0; i < units.size(); ++i) {
    wide[2 * i] = uint8_t(units[i] & 0xFF);
    wide[2 * i + 1] = uint8_t((units[i] >> 8) & 0xFF);
  }
  return wide;
}

class Win32RegistryKey final : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }
  Win32RegistryKey(const Win32RegistryKey&) = delete;
  Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

  std::optional<RegistryData> QueryValue(const std::string& name) override {
    const std::wstring wideName = Widen(name);
    RegistryData data;
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExW(key_, wideName.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between the two calls; ask again until it fits.
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
      data.bytes.resize(size);
      DWORD got = size;
      result = RegQueryValueExW(key_, wideName.c_str(), nullptr, &type,
                                data.bytes.empty() ? nullptr : data.bytes.data(), &got);
      if (result == ERROR_SUCCESS) {
        data.bytes.resize(got);
        if (IsText(type)) data.bytes = TextBytes(data.bytes);
        data.type = type;
        return data;
      }
      size = got > size ? got : size + 256;
    }
    return std::nullopt;
  }

  bool SetValue(const std::string& name, const RegistryData& data) override {
    const std::vector<uint8_t> bytes = IsText(data.type) ? WideBytes(data.bytes) : data.bytes;
    return RegSetValueExW(key_, Widen(name).c_str(), 0, data.type, bytes.empty() ? nullptr : bytes.data(),
                          DWORD(bytes.size())) == ERROR_SUCCESS;
  }

  bool DeleteValue(const std::string& name) override {
    const LONG result = RegDeleteValueW(key_, Widen(name).c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
  }

  std::vector<std::string> ValueNames() override {
    return Enumerate([this](DWORD index, wchar_t* buffer, DWORD* length) {
      return RegEnumValueW(key_, index, buffer, length, nullptr, nullptr, nullptr, nullptr);
    }, true);
  }

  std::vector<std::string> SubkeyNames() override {
    return Enumerate([this](DWORD index, wchar_t* buffer, DWORD* length) {
      return RegEnumKeyExW(key_, index, buffer, length, nullptr, nullptr, nullptr, nullptr);
    }, false);
  }

 private:
  template <typename EnumFn>
  std::vector<std::string> Enumerate(EnumFn enumerate, bool values) {
    std::vector<std::string> names;
    DWORD maxSubkey = 0;
    DWORD maxValue = 0;
    // Lengths in UTF-16 units, without the terminating zero.
    if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, &maxSubkey, nullptr, nullptr, &maxValue, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
      return names;
    std::wstring buffer((values ? maxValue : maxSubkey) + 1, L'\0');
    for (DWORD index = 0;;) {
      DWORD length = DWORD(buffer.size());
      const LONG result = enumerate(index, buffer.data(), &length);
      if (result == ERROR_MORE_DATA) {
        buffer.resize(buffer.size() * 2);
        continue;
      }
      if (result != ERROR_SUCCESS) break;
      names.push_back(Narrow(std::wstring_view(buffer.data(), length)));
      ++index;
    }
    return names;
  }

  HKEY key_;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32Registry::Open(RootKey root, const std::string& path, bool create) {
  const std::wstring widePath = Widen(path);
  HKEY key = nullptr;
  const LONG result =
      create ? RegCreateKeyExW(RootHandle(root), widePath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS, nullptr, &key, nullptr)
             : RegOpenKeyExW(RootHandle(root), widePath.c_str(), 0, KEY_ALL_ACCESS, &key);
  if (result != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32RegistryKey>(key);
}

bool Win32Registry::DeleteKey(RootKey root, const std::string& path) {
  const LONG result = RegDeleteKeyW(RootHandle(root), Widen(path).c_str());
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace tastora
