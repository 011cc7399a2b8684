#pragma once
// The system folders of the running Windows. Paths are UTF-8 here and
// UTF-16 at each call into Windows.
//
// The shipped program is a 32-bit build: GetSystemDirectoryW names system32,
// which 64-bit Windows shows a 32-bit program as its 32-bit view (SysWOW64)
// until Wow64DisableWow64FsRedirection switches that off for the thread. The
// file, writer and loader ports then follow on their own.
//
// A 64-bit build (run under Wine for tests) is never redirected: its paths
// mean what they say. To behave as the 32-bit program does it names the
// 32-bit view itself: SystemDirectory() is GetSystemWow64DirectoryW while
// redirection is "on", and GetSystemDirectoryW, the native folder, once
// DisableRedirection has switched a flag of ours. A path so means the folder
// that was current when it was formed, in either build if callers ask
// SystemDirectory() again after switching instead of reusing an older path.
// Without a 32-bit view (a 64-bit build on a 64-bit-only system) there is
// only the native folder and the switch fails, as on 32-bit Windows.

#include <string>
#include <vector>

// <windows.h> makes CopyFile a macro; the port's member is the plain name.
#undef CopyFile

#include "platform/SystemFiles.h"

namespace tastora {

class Win32SystemFiles final : public SystemFiles {
 public:
  // Looks the switch up in kernel32.dll, once.
  Win32SystemFiles();

  std::string SystemDirectory() override;
  // Fails with ERROR_INVALID_FUNCTION as the last error when the switch is
  // not there. Nests: each revert restores the state before its disable.
  bool DisableRedirection() override;
  void RevertRedirection() override;
  // The 32-bit build runs under WOW64 (IsWow64Process, looked up at run
  // time); the 64-bit build has a 32-bit view beside the native folder.
  bool HasNativeFolder() override { return nativeFolder_; }
  // IsWow64Process2 (Windows 10 1511 and later; the only way an emulated
  // program learns of ARM64), looked up at run time; where it is missing,
  // GetNativeSystemInfo, which no ARM64 Windows needs to answer.
  Processor NativeMachine() override { return nativeMachine_; }
  // A file, not a folder (GetFileAttributesW).
  bool FileExists(const std::string& path) override;
  // Anything of that name (GetFileAttributesW).
  bool PathExists(const std::string& path) override;
  // CopyFileW failing when `to` exists.
  bool CopyFile(const std::string& from, const std::string& to) override;
  // DeleteFileW; a file that is not there counts as removed.
  bool RemoveFile(const std::string& path) override;
  // MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT. The restart reads the
  // path without redirection, so a path in the 32-bit view is handed over
  // under the folder's real name (GetSystemWow64DirectoryW).
  bool RemoveFileAtRestart(const std::string& path) override;

 private:
  void* disable_ = nullptr;  // Wow64DisableWow64FsRedirection
  void* revert_ = nullptr;   // Wow64RevertWow64FsRedirection
  std::vector<void*> oldValues_;  // what each disable handed back, for its revert
  // 64-bit build only.
  std::string wow64Directory_;  // the 32-bit view; empty when the system has none
  int nativeDepth_ = 0;         // disables not reverted yet
  bool nativeFolder_ = false;
  Processor nativeMachine_ = Processor::X86;
};

}  // namespace tastora
