#pragma once
// LayoutInstaller: the install engine. It carries the layout to install and
// the install state; Install() puts the layout in place of the catalogue
// entry it was read from.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/KeyboardLayout.h"
#include "system/Locales.h"

namespace tastora {

class Dialogs;
class FileWriter;
class Profile;
class RegistryBackend;
class Session;
class SystemFiles;
struct ProcessState;

enum class InstallResult {
  Installed,  // the new library is written and registered
  Cancelled,  // stopped at the duplicate-key report; nothing changed
  Failed,     // stopped by an error (already shown); the registration is as it was
};

// What an install reaches of the system. The file writer takes the system's
// own paths and follows the redirection switch of `systemFiles`.
struct InstallPorts {
  RegistryBackend& registry;
  Profile& profile;
  Session& session;
  SystemFiles& systemFiles;
  FileWriter& writer;
  Dialogs& dialogs;
};

// The settings file, which also records the system files an install replaced.
inline constexpr char kLoaderIni[] = "loader.ini";
inline constexpr char kExistingSection[] = "Existing";
inline constexpr char kWininitFile[] = "wininit.ini";
inline constexpr char kRenameSection[] = "rename";

inline constexpr char kAskLogOff[] =
    "To use this layout, you must log off. Changed layout is not accessible until log off is done. Log off now?"
    "\r Warning! If this is a default layout, you will have to restart computer manually!";
inline constexpr char kAskRestart[] =
    "To use this layout, you must restart computer. Changed layout is not accessible until restart is done. "
    "Restart computer now?";
inline constexpr char kAskRestartAfterRename[] =
    "In order to have this layout changed, you must restart computer. Changed layout is not accessible until "
    "restart is done. Restart computer now?";
inline constexpr char kNotInstalled[] = "The layout was not installed; its registration is unchanged.";

// Windows paths name the same file regardless of case.
bool SamePath(std::string_view a, std::string_view b);

// Whether `fileName` is one of the two copies ("l_" or "o_" and the name)
// that installs make of `systemFile`, regardless of case.
bool IsOwnCopyName(std::string_view fileName, std::string_view systemFile);

// The file an install over a layout using `fileName` writes and registers on
// Windows 2000 and later, when "loader.ini" records `recordedSystemFile` as
// the system file the layout had: the other copy over one of our copies of
// it, else "l_" + the name, whatever the name looks like.
std::string InstalledFileName(std::string_view fileName, std::string_view recordedSystemFile);

class LayoutInstaller {
 public:
  LayoutInstaller(ProcessState& state, const InstallPorts& ports, TLocales& catalogue);

  KeyboardLayout& Layout() { return *layout_; }
  const KeyboardLayout& Layout() const { return *layout_; }

  // The library the entry uses: the system directory, "\", its LayoutFile.
  std::string EditorPath;
  // A copy of the catalogue entry the layout was read from.
  LayoutEntry EditorEntry;
  // "Show reboot dialog".
  bool chbShowMess = false;
  // Set by whoever changes the layout; an install clears it.
  bool Modified = false;

  // Checks the layout for keys sharing a VK, normalises the keys without
  // characters of their own, then writes and registers the library the way
  // the platform needs. On a failure what was written is taken back.
  InstallResult Install();

  // Install in its steps, for an install onto a layout that is being made
  // in the same action. Confirm: the duplicate-key check and the
  // normalising; false when the user stopped there. Stage: everything but
  // the registration (the record of the replaced file, the library, the
  // rename entry). Commit: the registration. Prompt: the log-off or restart
  // question. Undo: takes back what Stage wrote; what could not be taken
  // back, each on a line of its own (empty when nothing is left).
  bool Confirm();
  InstallResult Stage();
  InstallResult Commit();
  void Prompt();
  std::string Undo();
  // The layout file the registration names after Commit.
  const std::string& RegisteredName() const { return staged_.registeredName; }

 private:
  // What Stage wrote, to be registered or taken back.
  struct Staged {
    std::string registeredName;
    bool registers = false;  // Commit writes "Layout File"
    std::vector<std::pair<std::string, bool>> files;  // a Windows path, and whether in the native folder
    std::vector<std::pair<std::string, std::optional<std::string>>> recordBefore;  // loader.ini keys as they were
    bool keepRecord = false;  // the registration relies on the record already
    std::optional<std::pair<std::string, std::optional<std::string>>> renameBefore;  // wininit.ini entry as it was
  };

  bool ConfirmDuplicateKeys();
  InstallResult InstallNt5(const std::string& folder, const std::string& fileName);
  InstallResult InstallDirect();
  InstallResult InstallOnRestart();
  InstallResult WriteImages(const std::string& path32, const std::string& name);
  bool WriteRecord(const std::vector<std::pair<std::string, std::optional<std::string>>>& changes);
  void AskLogOff();
  void AskRestart();
  void Refuse(const std::string& reason);

  ProcessState& state_;
  InstallPorts ports_;
  TLocales& catalogue_;
  std::unique_ptr<KeyboardLayout> layout_;
  Staged staged_;
};

}  // namespace tastora
