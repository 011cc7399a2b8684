#pragma once
// What the main window does, without the window: it owns the catalogue, the
// working layout and the install engine, and runs the Edit, New and
// Restore actions and the program's own command line. The command-line
// program calls it now; the Windows GUI only draws the list and calls it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "model/KeyboardLayout.h"
#include "platform/ActionLock.h"
#include "platform/PlatformFactory.h"
#include "system/LayoutInstaller.h"
#include "system/Locales.h"
#include "system/NewKbd.h"
#include "system/RegistryEnhanced.h"
#include "system/UserLanguageList.h"

namespace tastora {

class CodePages;
class Dialogs;
struct ProcessState;

inline constexpr char kImportedSuccessfully[] = "Layout imported successfully.";
inline constexpr char kInstallCancelled[] = "The install was cancelled; the layout was not changed.";
inline constexpr char kDataFileExtension[] = ".vyr2000";
inline constexpr char kKlcFileExtension[] = ".klc";

// The Windows program's own command line: a catalogue position and a data
// file; or a template position, a data file, a language and a layout name.
struct CommandLine {
  int32_t position = 0;  // the template's when `create` is set
  std::string dataFile;
  struct Create {
    int32_t language = 0;
    std::string name;
    bool fromFile = false;  // the language and name are the ".klc" file's own
  };
  std::optional<Create> create;
};

// Reads the two- or four-argument form. Positions are decimal, the language
// hexadecimal (at most eight digits). False, with `error`, for any other
// count or a number that does not read.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);
// A number of the command line, as the Windows program reads it.
std::optional<int32_t> ParseDecimal(const std::string& text);
std::optional<int32_t> ParseHex(const std::string& text);

class MainActions {
 public:
  // The system's ports stay the caller's; `state` gets the Windows version.
  MainActions(SystemPorts& system, CodePages& codePages, Dialogs& dialogs, ProcessState& state);
  ~MainActions();

  // Holds the system's action lock while it lives: every action that
  // changes the system takes one, and the command line one for its whole
  // run, so that the catalogue it acts on is read under the lock too.
  // Guards of one MainActions nest on the first one's hold. When the lock
  // cannot be had (after waiting up to lockWait) the refusal has been shown
  // and Held() is false: the action must not go on.
  class ActionGuard {
   public:
    ActionGuard(ActionGuard&& other) noexcept : owner_(other.owner_) { other.owner_ = nullptr; }
    ActionGuard& operator=(ActionGuard&&) = delete;
    ~ActionGuard();
    bool Held() const { return owner_ != nullptr; }

   private:
    friend class MainActions;
    explicit ActionGuard(MainActions* owner) : owner_(owner) {}
    MainActions* owner_;
  };
  [[nodiscard]] ActionGuard Exclusive();
  // How long an action waits for another program changing the same system.
  std::chrono::milliseconds lockWait = kDefaultLockWait;

  // Start-up: the version, the settings and the catalogue.
  void Start();
  // Discards the catalogue and builds it again from the registry.
  void BuildCatalogue();

  const TLocales& Catalogue() const { return *catalogue_; }
  Settings& settings() { return settings_; }
  LayoutInstaller& Editor() { return *editor_; }

  // Set when the program runs the command line: messages meant for a user
  // at the window are left out, and imports are unattended.
  bool CommandLineMode = false;

  // Installs the data file over the catalogue entry at `position`.
  InstallResult Edit(int position, const std::string& dataFile);
  // The language the new-layout dialog starts with: the selected entry's, or "0".
  std::string NewLayoutLanguage(std::optional<int> selectedRow) const;
  // A new layout from the template at `templatePosition`; the catalogue is
  // rebuilt to show it.
  NewLayoutResult New(int templatePosition, int32_t language, const std::string& name);
  // Points the entry at `position` back at the system's own file.
  InstallResult Restore(int position);
  // Removes the entry at `position`, a layout this program created; the
  // catalogue is rebuilt. The window asks first; the command line asks only
  // about a layout made before its creation was recorded.
  InstallResult Remove(int position);
  // Whether the entry at `position` is one this program created, which
  // Remove may take away.
  bool Removable(int position);
  // A new layout from the template at `templatePosition` with the data file
  // installed onto it, whole or not at all: the data file is read and the
  // layout checked before anything is made, and on a failure what was made
  // is taken back.
  InstallResult Create(int templatePosition, int32_t language, const std::string& name, const std::string& dataFile);
  // Writes to the settings file ("loader.ini"), which installs share: under the lock.
  bool WriteSettings(const std::function<bool(Profile&)>& write);
  // "Layout File" of the entry at `position` as the registry has it now.
  std::string RegisteredFile(int position);
  // The first entry, from position 0, whose layout text is `name`.
  std::optional<int> FindByLayoutText(const std::string& name) const;

  // The catalogue position the last Edit went onto.
  int EditedPosition() const { return editedPosition_; }

  // Runs the command line and sets CommandLineMode: an install, or a
  // create and install.
  InstallResult RunCommandLine(const CommandLine& commandLine);

 private:
  bool IsDataFileName(const std::string& dataFile);
  bool LoadDataFile(const std::string& dataFile, KeyboardLayout& layout);
  bool HasEntry(int position) const;
  // The entry at `position` with its layout file as the registry has it
  // now; the catalogue learns it too.
  LayoutEntry CurrentEntry(int position);
  // The entry at `position` brought up to date as CurrentEntry does; false
  // when there is none (said on the command line; at the window it is a
  // click without a selected row).
  bool TakeEntry(int position);
  // The editor's layout: the library at `path` (the system folder's) with
  // the data file read over it.
  bool PrepareLayout(const std::string& path, const std::string& dataFile);
  // What an action returns when PrepareLayout did not get its layout: the
  // user declined to go on with a file the layout cannot carry whole, or
  // the load failed (said).
  InstallResult NotPrepared();
  // Keeps the record of a layout this program made, which Remove relies on.
  void RecordCreated(const std::string& klid, const std::string& copyName);
  // Puts the layout registered as `klid` in the user's language list where
  // Windows keeps one (8 and later), else a layout only in Preload is lost
  // at the next log-on; says so when it cannot.
  void ListForUser(const std::string& klid);
  // The language list's ports; none where Windows keeps no such list.
  std::optional<LanguageListPorts> LanguageList() const;
  bool BeginSystemChange();
  void EndSystemChange();

  SystemPorts& system_;
  CodePages& codePages_;
  Dialogs& dialogs_;
  ProcessState& state_;
  Settings settings_;
  TRegistryEnhanced CurrLayoutReg;
  TRegistryEnhanced AllLayoutsReg;
  TRegistryEnhanced LanguageReg;
  TRegistryEnhanced RfcReg;
  std::unique_ptr<TLocales> catalogue_;
  std::unique_ptr<KeyboardLayout> layout_;
  std::unique_ptr<LayoutInstaller> editor_;
  int editedPosition_ = -1;
  bool loadDeclined_ = false;  // the last data file's load was declined at its question
  int actionDepth_ = 0;  // guards alive
};

}  // namespace tastora
