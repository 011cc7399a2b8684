#include "platform/win32/Win32Profile.h"

#include <windows.h>

#include <vector>

namespace tastora {

std::string Win32Profile::ReadString(const std::string& file, const std::string& section, const std::string& key,
                                     const std::string& defaultValue) {
  // A full buffer may mean a cut value: grow it until the value fits.
  for (DWORD size = 2048;; size *= 2) {
    std::vector<char> buffer(size);
    const DWORD got = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                               size, file.c_str());
    if (got + 1 < size || size >= (1u << 24)) return std::string(buffer.data(), got);
  }
}

bool Win32Profile::WriteString(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& value) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

}  // namespace tastora
