#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/WideText.h"

namespace tastora {

std::optional<std::vector<uint8_t>> Win32FileSystem::ReadFile(const std::string& path, size_t maxBytes,
                                                              bool openForWriting) {
  const DWORD access = GENERIC_READ | (openForWriting ? GENERIC_WRITE : 0);
  HANDLE file = CreateFileW(Widen(path).c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  // Only a file on a disk is read: a pipe, the console or a device given as
  // a file would wait for input or never end.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return std::nullopt;
  }
  // Grow as the file is read: `maxBytes` is a cap, not a size to allocate.
  std::vector<uint8_t> bytes;
  bool ok = true;
  while (bytes.size() < maxBytes) {
    const size_t have = bytes.size();
    const size_t chunk = std::min<size_t>(maxBytes - have, 1u << 16);
    bytes.resize(have + chunk);
    DWORD got = 0;
    if (!::ReadFile(file, bytes.data() + have, static_cast<DWORD>(chunk), &got, nullptr)) {
      ok = false;
      break;
    }
    bytes.resize(have + got);
    if (got == 0) break;
  }
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return bytes;
}

}  // namespace tastora
