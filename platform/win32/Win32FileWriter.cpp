#include "platform/win32/Win32FileWriter.h"

#include <windows.h>

#include <limits>

#include "platform/win32/WideText.h"

namespace tastora {

bool Win32FileWriter::SetAttributes(const std::string& path, uint32_t attributes) {
  return SetFileAttributesW(Widen(path).c_str(), attributes) != 0;
}

FileWriter::Outcome Win32FileWriter::WriteWhole(const std::string& path, std::span<const uint8_t> bytes) {
  HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Outcome::NotOpened;
  bool written = bytes.size() <= std::numeric_limits<DWORD>::max();
  if (written && !bytes.empty()) {
    DWORD done = 0;
    written = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) != 0 &&
              done == bytes.size();
  }
  const bool closed = CloseHandle(file) != 0;
  return written && closed ? Outcome::Written : Outcome::WriteFailed;
}

}  // namespace tastora
