#include "platform/win32/Win32Session.h"

#include "platform/PlatformFactory.h"

// Before <windows.h>, whose CopyFile macro would rename the port's member.
#include "platform/win32/Win32SystemFiles.h"

#include <windows.h>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32InputLanguageApi.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32FileWriter.h"
#include "platform/win32/Win32LibraryLoader.h"
#include "platform/win32/Win32Profile.h"
#include "platform/win32/Win32Registry.h"

namespace tastora {

WindowsVersion Win32Session::Version() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;  // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL ok = GetVersionExA(&info);
#pragma GCC diagnostic pop
  if (!ok) return WindowsVersion{};
  return WindowsVersion{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}

bool Win32Session::IsAdministrator() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                0, &administrators))
    return false;
  BOOL member = FALSE;
  const BOOL ok = CheckTokenMembership(nullptr, administrators, &member);
  FreeSid(administrators);
  return ok && member;
}

bool Win32Session::EndSession(ExitMode mode) {
  const UINT flags = mode == ExitMode::LogOff ? (EWX_LOGOFF | EWX_FORCE) : (EWX_REBOOT | EWX_FORCE);
  return ExitWindowsEx(flags, 0) != FALSE;
}

bool Win32Session::OpenDocument(const std::string& path) {
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", Widen(path).c_str(), nullptr, nullptr,
                                                              SW_SHOWNORMAL));
  return result > 32;
}

bool Win32Session::ActivateWindowOfClass(const std::string& windowClass) {
  HWND window = FindWindowW(Widen(windowClass).c_str(), nullptr);
  if (!window) return false;
  SetForegroundWindow(window);
  ShowWindow(window, SW_SHOW);
  return true;
}

bool PlatformUsesRootFolder() { return false; }

std::optional<SystemPorts> OpenSystem(const std::string& rootDir, CodePages&, Dialogs&, std::string& error) {
  if (!rootDir.empty()) {
    error = "a Windows root folder is for other hosts; on Windows the running system is used";
    return std::nullopt;
  }
  SystemPorts ports;
  ports.registry = std::make_unique<Win32Registry>();
  ports.profile = std::make_unique<Win32Profile>();
  ports.session = std::make_unique<Win32Session>();
  // In the 32-bit program the thread's redirection switch governs all four;
  // a 64-bit build follows it through the folder SystemDirectory() names.
  ports.systemFiles = std::make_unique<Win32SystemFiles>();
  ports.files = std::make_unique<Win32FileSystem>();
  ports.writer = std::make_unique<Win32FileWriter>();
  ports.loader = std::make_unique<Win32LibraryLoader>();
  ports.lock = OpenActionLock(rootDir);
  ports.inputLanguages = std::make_unique<Win32InputLanguageApi>();
  return ports;
}

bool CreateWindowsRoot(const std::string&, RootWindows, std::string& error) {
  error = "a Windows root folder is for other hosts; on Windows the running system is used";
  return false;
}

}  // namespace tastora
