#pragma once
// A Windows root folder in the shape of a Wine prefix:
//   ROOT/system.reg                  HKEY_LOCAL_MACHINE
//   ROOT/user.reg                    HKEY_CURRENT_USER
//   ROOT/drive_c/windows/            the Windows folder
//   ROOT/drive_c/windows/system32/   the native system folder
//   ROOT/drive_c/windows/syswow64/   the 32-bit view of it (64-bit roots only)
// The program acts as a 32-bit program on it: on a 64-bit root
// "C:\windows\system32" is syswow64 until redirection is switched off.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "model/ProcessState.h"
#include "platform/PlatformFactory.h"

namespace tastora {

class OfflineRoot {
 public:
  explicit OfflineRoot(std::filesystem::path dir) : dir_(std::move(dir)) {}

  const std::filesystem::path& Dir() const { return dir_; }
  std::filesystem::path MachineRegistryFile() const { return dir_ / "system.reg"; }
  std::filesystem::path UserRegistryFile() const { return dir_ / "user.reg"; }
  std::filesystem::path WindowsFolder() const;

  // Both registry files and the Windows folder are there.
  bool IsRoot() const;
  // A 64-bit Windows: the root has a 32-bit view of the system folder.
  bool Is64Bit() const;

  // The host path of an absolute Windows path. Drive C is drive_c, other
  // drives are taken from dosdevices; each folder and file that exists is
  // matched regardless of case. With `redirected` (a 32-bit program with
  // redirection on), system32 of a 64-bit root is syswow64 and "sysnative"
  // is the real system32. Nothing for a relative path or an unknown drive.
  std::optional<std::filesystem::path> HostPath(std::string_view windowsPath, bool redirected) const;

  // `name` inside `folder`, spelled as it is on disk when an entry matches
  // regardless of case, else as given.
  static std::filesystem::path Match(const std::filesystem::path& folder, std::string_view name);

  // Makes the folder tree and registry files of a new root for `windows`.
  static bool Create(const std::filesystem::path& dir, RootWindows windows, std::string& error);

 private:
  std::filesystem::path dir_;
};

// Where a root keeps its Windows version: the value Wine's own configuration
// uses, so that a Wine prefix set to another version is read as that version.
inline constexpr char kWineVersionKey[] = "Software\\Wine";
inline constexpr char kWineVersionValue[] = "Version";

// The version record for a Wine version name ("win10", "winxp", "win98",
// ...); 64-bit Windows 10 for a name it does not know.
WindowsVersion VersionOfWineName(std::string_view name);
std::string_view WineNameOf(RootWindows windows);
// "C:\windows\system32"; "C:\windows\system" on the 8-bit family.
std::string SystemDirectoryOf(const WindowsVersion& version);

}  // namespace tastora
