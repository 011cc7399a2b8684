#include "platform/win32/Win32Profile.h"

#include <windows.h>

#include <vector>

#include "platform/IniText.h"

namespace tastora {
namespace {

// The files the program replaces whole; a bare name is in the Windows folder.
constexpr const char* kReplacedFiles[] = {"loader.ini", "wininit.ini"};

std::string ProfilePath(const std::string& file) {
  if (file.find_first_of("\\/:") != std::string::npos) return file;
  std::string folder(MAX_PATH, '\0');
  UINT length = GetWindowsDirectoryA(folder.data(), UINT(folder.size()));
  if (length >= folder.size()) {
    folder.assign(length, '\0');
    length = GetWindowsDirectoryA(folder.data(), UINT(folder.size()));
  }
  folder.resize(length < folder.size() ? length : 0);
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder + file;
}

std::string TemporaryPathOf(const std::string& path) { return path + ".tastora-new"; }

// The whole file; empty when it is not there. False when it is there but cannot be read.
bool ReadWhole(const std::string& path, std::string& text) {
  text.clear();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  bool ok = true;
  char buffer[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    text.append(buffer, got);
  }
  CloseHandle(file);
  return ok;
}

bool WriteWhole(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  bool ok = text.empty() || (WriteFile(file, text.data(), DWORD(text.size()), &done, nullptr) && done == text.size());
  ok = FlushFileBuffers(file) && ok;
  return CloseHandle(file) && ok;
}

bool KeyByKey(const std::string& file, const std::string& section, const std::vector<IniChange>& changes) {
  bool ok = true;
  for (const auto& [key, value] : changes)
    ok = WritePrivateProfileStringA(section.c_str(), key.c_str(), value ? value->c_str() : nullptr, file.c_str()) &&
         ok;
  return ok;
}

}  // namespace

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

bool Win32Profile::WriteKeys(const std::string& file, const std::string& section,
                             const std::vector<IniChange>& changes) {
  const std::string path = ProfilePath(file);
  // The profile functions of the 8-bit family keep files in memory: theirs
  // goes to the disk first, and ours is read afresh afterwards.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
  std::string text;
  if (!ReadWhole(path, text)) return false;
  // A Unicode file is theirs to change.
  if (text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
    return KeyByKey(file, section, changes);

  const std::string temp = TemporaryPathOf(path);
  if (!WriteWhole(temp, ChangeIniText(text, section, changes))) {
    DeleteFileA(temp.c_str());
    return false;
  }
  if (MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    return true;
  }
  const DWORD error = GetLastError();
  DeleteFileA(temp.c_str());
  // Windows 95, 98 and ME have no MoveFileExA.
  if (error == ERROR_CALL_NOT_IMPLEMENTED) return KeyByKey(file, section, changes);
  return false;
}

void RemoveProfileTemporaries() {
  for (const char* file : kReplacedFiles) DeleteFileA(TemporaryPathOf(ProfilePath(file)).c_str());
}

}  // namespace tastora
