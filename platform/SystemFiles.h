#pragma once
// The system folders as this program sees them. The shipped program is a
// 32-bit program: on 64-bit Windows "C:\windows\system32" is then the 32-bit
// view of the system folder until file-system redirection is switched off
// for the thread, which makes the same path the native (64-bit) folder. The
// FileSystem, FileWriter and LibraryLoader ports of the same system follow
// the switch as well. <windows.h> defines CopyFile as a macro: include this
// header before it.

#include <cstdint>
#include <string>

namespace tastora {

// The processors whose Windows an install writes libraries for.
enum class Processor : uint8_t { X86, X64, Arm64 };

// Where Windows (and Wine) say which processor they run on: "x86", "AMD64", "ARM64".
inline constexpr char kEnvironmentKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
inline constexpr char kProcessorArchitecture[] = "PROCESSOR_ARCHITECTURE";

class SystemFiles {
 public:
  virtual ~SystemFiles() = default;
  // The system directory as GetSystemDirectoryA gives it, without a trailing
  // backslash. Ask again after switching: a path formed before the switch
  // names the folder that was current then (the 64-bit build has no
  // redirection of its own).
  virtual std::string SystemDirectory() = 0;
  // Wow64DisableWow64FsRedirection, looked up at run time: false when the
  // switch is not available (no 64-bit system folder) or fails.
  virtual bool DisableRedirection() = 0;
  // Wow64RevertWow64FsRedirection; only after a successful DisableRedirection.
  virtual void RevertRedirection() = 0;
  // Whether the system has a native folder apart from the one this program
  // sees (a 64-bit Windows), whether or not the switch to it works.
  virtual bool HasNativeFolder() = 0;
  // The processor of the Windows itself, not of this program (which may run
  // under WOW64 or emulated): what the native folder's libraries are built for.
  virtual Processor NativeMachine() = 0;
  // A file, not a folder.
  virtual bool FileExists(const std::string& path) = 0;
  // Anything of that name: a file, a folder, a link.
  virtual bool PathExists(const std::string& path) = 0;
  // CopyFileA failing when `to` exists.
  virtual bool CopyFile(const std::string& from, const std::string& to) = 0;
  // DeleteFileA: a file, never a folder. False when it is still there.
  virtual bool RemoveFile(const std::string& path) = 0;
  // MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT: a file Windows holds open
  // (a layout library in use) goes at the next restart. False where that
  // cannot be arranged; a folder tree has no restart to wait for.
  virtual bool RemoveFileAtRestart(const std::string& path) {
    (void)path;
    return false;
  }
};

// Redirection switched off for a scope, and always switched back on.
class RedirectionOff {
 public:
  explicit RedirectionOff(SystemFiles& files) : files_(files), off_(files.DisableRedirection()) {}
  ~RedirectionOff() {
    if (off_) files_.RevertRedirection();
  }
  RedirectionOff(const RedirectionOff&) = delete;
  RedirectionOff& operator=(const RedirectionOff&) = delete;

  bool Succeeded() const { return off_; }

 private:
  SystemFiles& files_;
  bool off_;
};

inline constexpr char kCannotRedirect[] = "Cannot redirect to 64-bit system32 folder!";

}  // namespace tastora
