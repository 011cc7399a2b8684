#include "platform/win32/Win32Profile.h"

#include <windows.h>

#include <vector>

#include "platform/IniText.h"
#include "platform/win32/WideText.h"

namespace tastora {
namespace {

// The files the program replaces whole; a bare name is in the Windows folder.
constexpr const char* kReplacedFiles[] = {"loader.ini", "wininit.ini"};

std::string ProfilePath(const std::string& file) {
  if (file.find_first_of("\\/:") != std::string::npos) return file;
  std::wstring folder(MAX_PATH, L'\0');
  UINT length = GetWindowsDirectoryW(folder.data(), UINT(folder.size()));
  if (length >= folder.size()) {
    folder.assign(length, L'\0');
    length = GetWindowsDirectoryW(folder.data(), UINT(folder.size()));
  }
  folder.resize(length < folder.size() ? length : 0);
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return Narrow(folder) + file;
}

// Our UTF-8 text as the profile functions store it in an 8-bit file: in the
// ANSI code page, a character it lacks as '?' (or Windows' closest fit).
std::string AnsiText(const std::string& utf8) {
  const std::wstring wide = Widen(utf8);
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string ansi(size_t(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), ansi.data(), size, nullptr, nullptr);
  return ansi;
}

// Null for a missing string, as the profile functions take "remove".
const wchar_t* OrNull(const std::optional<std::wstring>& text) { return text ? text->c_str() : nullptr; }

std::string TemporaryPathOf(const std::string& path) { return path + ".tastora-new"; }

// The whole file; empty when it is not there. False when it is there but cannot be read.
bool ReadWhole(const std::string& path, std::string& text) {
  text.clear();
  const std::wstring widePath = Widen(path);
  HANDLE file = CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
  HANDLE file =
      CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  bool ok = text.empty() || (WriteFile(file, text.data(), DWORD(text.size()), &done, nullptr) && done == text.size());
  ok = FlushFileBuffers(file) && ok;
  return CloseHandle(file) && ok;
}

bool KeyByKey(const std::string& file, const std::string& section, const std::vector<IniChange>& changes) {
  bool ok = true;
  const std::wstring wideSection = Widen(section);
  const std::wstring wideFile = Widen(file);
  for (const auto& [key, value] : changes) {
    const std::optional<std::wstring> wideValue = value ? std::optional<std::wstring>(Widen(*value)) : std::nullopt;
    ok = WritePrivateProfileStringW(wideSection.c_str(), Widen(key).c_str(), OrNull(wideValue), wideFile.c_str()) &&
         ok;
  }
  return ok;
}

}  // namespace

std::string Win32Profile::ReadString(const std::string& file, const std::string& section, const std::string& key,
                                     const std::string& defaultValue) {
  // A full buffer may mean a cut value: grow it until the value fits.
  const std::wstring wideSection = Widen(section);
  const std::wstring wideKey = Widen(key);
  const std::wstring wideDefault = Widen(defaultValue);
  const std::wstring wideFile = Widen(file);
  for (DWORD size = 2048;; size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD got = GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), wideDefault.c_str(),
                                               buffer.data(), size, wideFile.c_str());
    if (got + 1 < size || size >= (1u << 24)) return Narrow(std::wstring_view(buffer.data(), got));
  }
}

std::vector<std::string> Win32Profile::ReadKeys(const std::string& file, const std::string& section) {
  // Without a key name the profile function gives the section's keys, each
  // ended by a zero, the list by a second one.
  const std::wstring wideSection = Widen(section);
  const std::wstring wideFile = Widen(file);
  for (DWORD size = 2048;; size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD got =
        GetPrivateProfileStringW(wideSection.c_str(), nullptr, L"", buffer.data(), size, wideFile.c_str());
    if (got + 2 < size || size >= (1u << 24)) {
      std::vector<std::string> keys;
      for (size_t from = 0; from < got;) {
        const std::wstring_view key(buffer.data() + from);
        if (key.empty()) break;
        keys.push_back(Narrow(key));
        from += key.size() + 1;
      }
      return keys;
    }
  }
}

bool Win32Profile::WriteString(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& value) {
  return WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                                    Widen(file).c_str()) != FALSE;
}

bool Win32Profile::WriteKeys(const std::string& file, const std::string& section,
                             const std::vector<IniChange>& changes) {
  const std::string path = ProfilePath(file);
  const std::wstring widePath = Widen(path);
  // The profile functions of the 8-bit family keep files in memory: theirs
  // goes to the disk first, and ours is read afresh afterwards.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, widePath.c_str());
  std::string text;
  if (!ReadWhole(path, text)) return false;
  // A Unicode file is theirs to change.
  if (text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
    return KeyByKey(file, section, changes);

  // An 8-bit file stays one, in the ANSI code page, as WritePrivateProfileStringW
  // keeps it: the changes are converted, the rest of the file is left byte for byte.
  std::vector<IniChange> ansiChanges;
  for (const auto& [key, value] : changes)
    ansiChanges.emplace_back(AnsiText(key), value ? std::optional<std::string>(AnsiText(*value)) : std::nullopt);
  const std::string temp = TemporaryPathOf(path);
  const std::wstring wideTemp = Widen(temp);
  if (!WriteWhole(temp, ChangeIniText(text, AnsiText(section), ansiChanges))) {
    DeleteFileW(wideTemp.c_str());
    return false;
  }
  if (MoveFileExW(wideTemp.c_str(), widePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, widePath.c_str());
    return true;
  }
  const DWORD error = GetLastError();
  DeleteFileW(wideTemp.c_str());
  // Windows 95, 98 and ME have no MoveFileExW (nor the other W functions).
  if (error == ERROR_CALL_NOT_IMPLEMENTED) return KeyByKey(file, section, changes);
  return false;
}

void RemoveProfileTemporaries() {
  for (const char* file : kReplacedFiles) DeleteFileW(Widen(TemporaryPathOf(ProfilePath(file))).c_str());
}

}  // namespace tastora
