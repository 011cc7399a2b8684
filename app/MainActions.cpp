#include "app/MainActions.h"

#include "app/LayoutFileImport.h"
#include "datafile/ImportErrors.h"
#include "datafile/LayoutDataFile.h"
#include "datafile/XmlReader.h"
#include "kbdfile/KbdFile.h"
#include "model/Keypad.h"
#include "model/ProcessState.h"
#include "platform/Platform.h"
#include "reader/LayoutLibraryReader.h"
#include "system/CreatedLayouts.h"
#include "system/RemoveLayout.h"
#include "system/RestoreLayout.h"

namespace tastora {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

bool EndsWithNoCase(const std::string& text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const size_t from = text.size() - suffix.size();
  for (size_t i = 0; i < suffix.size(); ++i)
    if (Lower(text[from + i]) != Lower(suffix[i])) return false;
  return true;
}

// Tells a restore the user declined apart from one that failed.
class AnswerWatch final : public Dialogs {
 public:
  explicit AnswerWatch(Dialogs& inner) : inner_(inner) {}
  void ShowMessage(std::string_view text) override { inner_.ShowMessage(text); }
  void ShowWarning(std::string_view text) override { inner_.ShowWarning(text); }
  void ShowError(std::string_view text, std::string_view caption) override { inner_.ShowError(text, caption); }
  bool AskYesNo(std::string_view text) override { return Note(inner_.AskYesNo(text)); }
  bool AskYesNoCaptioned(std::string_view text, std::string_view caption) override {
    return Note(inner_.AskYesNoCaptioned(text, caption));
  }
  bool ShowDuplicateKeys(const DuplicateKeyPair& pair) override { return Note(inner_.ShowDuplicateKeys(pair)); }

  bool declined = false;

 private:
  bool Note(bool yes) {
    declined = declined || !yes;
    return yes;
  }
  Dialogs& inner_;
};

}  // namespace

std::optional<int32_t> ParseDecimal(const std::string& text) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > int64_t(INT32_MAX) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<int32_t> ParseHex(const std::string& text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    const char l = Lower(c);
    unsigned digit;
    if (l >= '0' && l <= '9') digit = unsigned(l - '0');
    else if (l >= 'a' && l <= 'f') digit = unsigned(l - 'a' + 10);
    else return std::nullopt;
    value = value * 16 + digit;
  }
  if (value > uint32_t(INT32_MAX)) return std::nullopt;
  return static_cast<int32_t>(value);
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
  if (args.size() != 2 && args.size() != 4) {
    error = "expected a catalogue position and a data file, or a template position, a data file, a language and "
            "a layout name";
    return false;
  }
  const auto position = ParseDecimal(args[0]);
  if (!position) {
    error = "'" + args[0] + "' is not a valid catalogue position (a decimal number)";
    return false;
  }
  out = CommandLine{};
  out.position = *position;
  out.dataFile = args[1];
  if (args.size() == 4) {
    const auto language = ParseHex(args[2]);
    if (!language) {
      error = "'" + args[2] + "' is not a valid language (up to eight hexadecimal digits, such as 0409)";
      return false;
    }
    out.create = CommandLine::Create{*language, args[3]};
  }
  return true;
}

MainActions::MainActions(SystemPorts& system, CodePages& codePages, Dialogs& dialogs, ProcessState& state)
    : system_(system),
      codePages_(codePages),
      dialogs_(dialogs),
      state_(state),
      CurrLayoutReg(*system.registry, RootKey::hkCurrentUser),
      AllLayoutsReg(*system.registry, RootKey::hkLocalMachine),
      LanguageReg(*system.registry, RootKey::hkLocalMachine),
      RfcReg(*system.registry, RootKey::hkClassesRoot),
      catalogue_(std::make_unique<TLocales>()),
      layout_(std::make_unique<KeyboardLayout>()) {
  const InstallPorts ports{*system.registry, *system.profile,  *system.session,
                           *system.systemFiles, *system.writer, dialogs};
  editor_ = std::make_unique<LayoutInstaller>(state, ports, *catalogue_);
}

MainActions::~MainActions() = default;

MainActions::ActionGuard::~ActionGuard() {
  if (!owner_ || --owner_->actionDepth_ > 0) return;
  owner_->EndSystemChange();
  if (owner_->system_.lock) owner_->system_.lock->Release();
}

MainActions::ActionGuard MainActions::Exclusive() {
  if (actionDepth_ > 0) {
    ++actionDepth_;
    return ActionGuard(this);
  }
  if (system_.lock && !HoldForAction(*system_.lock, lockWait, dialogs_)) return ActionGuard(nullptr);
  if (!BeginSystemChange()) {
    if (system_.lock) system_.lock->Release();
    return ActionGuard(nullptr);
  }
  ++actionDepth_;
  return ActionGuard(this);
}

// The one place where an action starts on the system it now holds: the
// registry is read again where another program changed it meanwhile, and
// what programs killed while writing left behind is cleared away (after the
// registry, which may still need a temporary file of its own to mend itself),
// removals cut short included.
bool MainActions::BeginSystemChange() {
  if (!system_.registry->RefreshIfChanged()) return false;
  if (system_.lock) system_.lock->RemoveStaleTemporaries();
  FinishCutRemovals(state_.IsNtPlatform(),
                    RemovePorts{*system_.registry, *system_.profile, *system_.systemFiles, dialogs_});
  return true;
}

// And the one place where it ends, before the lock is let go. Registry
// writes held back for the whole action (BeginWrites in BeginSystemChange,
// EndWrites here) would also need the action to learn here whether they
// were written, before it reports its result; each action writes through at
// once so far.
void MainActions::EndSystemChange() {}

void MainActions::Start() {
  state_.windowsVersion = system_.session->Version();
  LoadConversionSettings(*system_.profile, state_);
  LoadSettings(*system_.profile, settings_, state_);
  BuildCatalogue();
}

void MainActions::BuildCatalogue() {
  if (state_.IsNtPlatform())
    catalogue_->CreateNt(CurrLayoutReg, AllLayoutsReg, RfcReg, dialogs_);
  else
    catalogue_->Create9x(CurrLayoutReg, AllLayoutsReg, LanguageReg, dialogs_);
}

bool MainActions::HasEntry(int position) const { return position >= 0 && position < catalogue_->Count(); }

bool MainActions::TakeEntry(int position) {
  if (!HasEntry(position)) {
    if (CommandLineMode)
      dialogs_.ShowError("There is no layout at position " + std::to_string(position) + " of the catalogue.",
                         "Error");
    return false;
  }
  (void)CurrentEntry(position);
  return true;
}

std::optional<int> MainActions::FindByLayoutText(const std::string& name) const {
  for (int i = 0; i < catalogue_->Count(); ++i)
    if (catalogue_->Get(i).LayoutText == name) return i;
  return std::nullopt;
}

bool MainActions::IsDataFileName(const std::string& dataFile) {
  if (EndsWithNoCase(dataFile, kDataFileExtension) || EndsWithNoCase(dataFile, kKlcFileExtension) ||
      IsKlcLayoutFile(dataFile, *system_.files))
    return true;
  dialogs_.ShowError("The file " + dataFile + " is not a layout data file (" + kDataFileExtension + ") or a " +
                         kKlcFileExtension + " layout file.\r" + kNotInstalled,
                     "Error");
  return false;
}

bool MainActions::LoadDataFile(const std::string& dataFile, KeyboardLayout& layout) {
  const std::string notLoaded = "The layout data file " + dataFile + " could not be loaded.\r" + kNotInstalled;
  // A .klc file with parts the layout cannot carry asks first; a No is the
  // user's choice, not a load that failed.
  AnswerWatch watch(dialogs_);
  loadDeclined_ = false;
  try {
    if (ImportUserLayoutFile(dataFile, layout, state_, DataFilePorts{*system_.files, watch, codePages_}))
      return true;
  } catch (const ImportError& e) {
    dialogs_.ShowError(e.what(), "Error");
  } catch (const FileOpenError& e) {
    dialogs_.ShowError(e.what(), "Error");
  }
  loadDeclined_ = watch.declined;
  if (!loadDeclined_) dialogs_.ShowError(notLoaded, "Error");
  return false;
}

std::string MainActions::RegisteredFile(int position) {
  if (!HasEntry(position)) return "";
  AllLayoutsReg.SetKey(std::string(kLayoutsKey) + "\\" + catalogue_->Get(position).EffectiveKlid());
  return AllLayoutsReg.ReadText("Layout File");
}

LayoutEntry MainActions::CurrentEntry(int position) {
  LayoutEntry entry = catalogue_->Get(position);
  // Another program may have installed onto it since the catalogue was read.
  const std::string registered = RegisteredFile(position);
  if (!(entry.LayoutFile == registered)) {
    catalogue_->SetLayoutFile(entry, registered);
    entry.LayoutFile = registered;
  }
  return entry;
}

InstallResult MainActions::NotPrepared() {
  if (!loadDeclined_) return InstallResult::Failed;
  if (!CommandLineMode) dialogs_.ShowMessage(kInstallCancelled);
  return InstallResult::Cancelled;
}

bool MainActions::PrepareLayout(const std::string& path, const std::string& dataFile) {
  Clear(*layout_, state_);
  // What the reader cannot read it reports; the data file replaces the layout anyway.
  if (state_.IsNtPlatform())
    ReadLayoutLibrary(path, *layout_, state_, LayoutReaderPorts{*system_.files, *system_.loader, dialogs_});
  else
    (void)ReadKbdFile(path, *layout_, state_, KbdReaderPorts{*system_.files, dialogs_});
  if (!LoadDataFile(dataFile, *layout_)) return false;
  AdjustNumpad(*layout_, state_);
  editor_->Layout() = *layout_;
  return true;
}

InstallResult MainActions::Edit(int position, const std::string& dataFile) {
  const ActionGuard guard = Exclusive();
  if (!guard.Held()) return InstallResult::Failed;
  if (!HasEntry(position)) {
    // At the window this is a click without a selected row.
    if (CommandLineMode)
      dialogs_.ShowError("There is no layout at position " + std::to_string(position) + " of the catalogue (0 to " +
                             std::to_string(catalogue_->Count() - 1) + ").",
                         "Error");
    return InstallResult::Failed;
  }
  editedPosition_ = position;
  const LayoutEntry entry = CurrentEntry(position);
  LayoutInstaller& editor = *editor_;
  editor.EditorPath.clear();
  // The name comes from the registry and is joined to the system folder.
  if (const std::string problem = FileNameProblem(entry.LayoutFile.View()); !problem.empty()) {
    dialogs_.ShowError("The layout file name " + ShownFileName(entry.LayoutFile.View()) + " of " +
                           entry.LayoutText.Str() + " is not a file name in the system folder: " + problem + ".\r" +
                           kNotInstalled,
                       "Error");
    return InstallResult::Failed;
  }
  // A longer name is cut in the catalogue, and would name another file.
  if (const std::string registered = RegisteredFile(position); registered.size() > entry.LayoutFile.capacity) {
    dialogs_.ShowError("The layout file name " + ShownFileName(registered) + " of " + entry.LayoutText.Str() +
                           " is longer than the " + std::to_string(entry.LayoutFile.capacity) +
                           " characters a layout file name may have.\r" + kNotInstalled,
                       "Error");
    return InstallResult::Failed;
  }
  if (!IsDataFileName(dataFile)) return InstallResult::Failed;

  const std::string path = system_.systemFiles->SystemDirectory() + "\\" + entry.LayoutFile.Str();
  if (!PrepareLayout(path, dataFile)) return NotPrepared();
  editor.EditorPath = path;
  editor.EditorEntry = entry;
  editor.chbShowMess = settings_.showMessages;
  const InstallResult result = editor.Install();
  if (result == InstallResult::Installed) ListForUser(entry.EffectiveKlid());
  if (!CommandLineMode) {
    if (result == InstallResult::Installed) dialogs_.ShowMessage(kImportedSuccessfully);
    else if (result == InstallResult::Cancelled) dialogs_.ShowMessage(kInstallCancelled);
  }
  return result;
}

bool MainActions::WriteSettings(const std::function<bool(Profile&)>& write) {
  const ActionGuard guard = Exclusive();
  return guard.Held() && write(*system_.profile);
}

std::string MainActions::NewLayoutLanguage(std::optional<int> selectedRow) const {
  if (selectedRow && HasEntry(*selectedRow)) return catalogue_->Get(*selectedRow).LanguageId.Str();
  return "0";
}

NewLayoutResult MainActions::New(int templatePosition, int32_t language, const std::string& name) {
  const ActionGuard guard = Exclusive();
  if (!guard.Held()) return NewLayoutResult{false, "", "", kLockBusy};
  if (HasEntry(templatePosition)) (void)CurrentEntry(templatePosition);
  NewLayoutResult made =
      CreateWithParams(templatePosition, language, name, *catalogue_, state_.IsNtPlatform(),
                       NewLayoutPorts{*system_.registry, *system_.systemFiles, dialogs_});
  if (made.created) {
    RecordCreated(made.klid, made.fileName);
    ListForUser(made.klid);
    BuildCatalogue();
  }
  return made;
}

void MainActions::RecordCreated(const std::string& klid, const std::string& copyName) {
  if (RecordCreatedLayout(*system_.profile, klid, copyName)) return;
  dialogs_.ShowWarning("The layout " + klid + " was made, but " + kLoaderIni + " could not record it as one " +
                       "this program created; removing it will ask first.");
}

std::optional<LanguageListPorts> MainActions::LanguageList() const {
  if (!UsesLanguageList(state_.windowsVersion)) return std::nullopt;
  return LanguageListPorts{*system_.registry, system_.inputLanguages.get()};
}

void MainActions::ListForUser(const std::string& klid) {
  const std::optional<LanguageListPorts> list = LanguageList();
  if (!list || AddToUserLanguageList(klid, *list)) return;
  dialogs_.ShowWarning("The layout " + klid + " is installed, but it could not be put in the user's language " +
                       "list. Add it in the language settings of Windows to use it.");
}

InstallResult MainActions::Remove(int position) {
  const ActionGuard guard = Exclusive();
  if (!guard.Held()) return InstallResult::Failed;
  if (!TakeEntry(position)) return InstallResult::Failed;
  const std::optional<LanguageListPorts> list = LanguageList();
  const RemovePorts ports{*system_.registry, *system_.profile, *system_.systemFiles, dialogs_, list ? &*list : nullptr};
  const RemoveResult result = RemoveLayout(*catalogue_, position, state_.IsNtPlatform(), !CommandLineMode, ports);
  switch (result) {
    case RemoveResult::Removed: BuildCatalogue(); return InstallResult::Installed;
    case RemoveResult::Cancelled: return InstallResult::Cancelled;
    case RemoveResult::Failed: BuildCatalogue(); return InstallResult::Failed;  // part of it may be gone
    case RemoveResult::Refused: break;
  }
  return InstallResult::Failed;
}

bool MainActions::Removable(int position) {
  if (!HasEntry(position)) return false;
  const RemovePorts ports{*system_.registry, *system_.profile, *system_.systemFiles, dialogs_};
  return OriginOf(catalogue_->Get(position), state_.IsNtPlatform(), ports) != LayoutOrigin::NotOurs;
}

InstallResult MainActions::Restore(int position) {
  const ActionGuard guard = Exclusive();
  if (!guard.Held()) return InstallResult::Failed;
  if (!TakeEntry(position)) return InstallResult::Failed;
  AnswerWatch watch(dialogs_);
  if (RestoreLayout(*catalogue_, position, RestorePorts{*system_.registry, *system_.systemFiles, watch}))
    return InstallResult::Installed;
  return watch.declined ? InstallResult::Cancelled : InstallResult::Failed;
}

InstallResult MainActions::Create(int templatePosition, int32_t language, const std::string& name,
                                  const std::string& dataFile) {
  const ActionGuard guard = Exclusive();
  if (!guard.Held()) return InstallResult::Failed;
  if (HasEntry(templatePosition)) (void)CurrentEntry(templatePosition);
  const NewLayoutPorts ports{*system_.registry, *system_.systemFiles, dialogs_};
  LayoutInstaller& editor = *editor_;
  editor.EditorPath.clear();

  // Everything is checked before anything is made: the plan, then the data
  // file read over the template's library, which the new layout starts as a
  // copy of.
  std::string error;
  const std::optional<NewLayoutPlan> plan =
      PlanNewLayout(templatePosition, language, name, *catalogue_, state_.IsNtPlatform(), ports, error);
  if (!plan) return InstallResult::Failed;
  if (!IsDataFileName(dataFile)) return InstallResult::Failed;
  if (!PrepareLayout(system_.systemFiles->SystemDirectory() + "\\" + plan->templateFile, dataFile))
    return NotPrepared();

  LayoutEntry entry;
  entry.Id = plan->klid;
  entry.LanguageId = plan->klid.substr(4);
  entry.LayoutLanguageId = plan->klid.substr(4);
  entry.LayoutText = name;
  entry.LayoutId = plan->layoutId;
  entry.LayoutFile = plan->fileName;
  editor.EditorEntry = entry;
  editor.EditorPath = system_.systemFiles->SystemDirectory() + "\\" + plan->fileName;
  editor.chbShowMess = settings_.showMessages;
  // The user may stop at the duplicate-key report: nothing is made yet.
  if (!editor.Confirm()) return InstallResult::Cancelled;

  // The copies, then the library, and the registration last, so that a
  // failed file write leaves no registry change to take back.
  NewLayoutMade made;
  bool done = CopyTemplate(*plan, ports, made, error);
  if (done) {
    done = editor.Stage() == InstallResult::Installed;
    if (!done) error = "The new layout " + plan->klid + " (" + name + ") was not made.";
  }
  if (done) {
    const std::string registered = editor.RegisteredName().empty() ? plan->fileName : editor.RegisteredName();
    done = RegisterNewLayout(*plan, registered, ports, made, error);
  }
  if (!done) {
    bool fileStillNamed = false;
    std::string left = UndoNewRegistration(*plan, made, ports, fileStillNamed);
    if (fileStillNamed) {
      left += "\r" + editor.RegisteredName();
      for (const auto& copy : made.copies) left += "\r" + copy.first;
    } else {
      left += editor.Undo();
      left += RemoveCopies(made, ports);
    }
    dialogs_.ShowError(UndoneText(error, left), "Error");
    return InstallResult::Failed;
  }

  RecordCreated(plan->klid, plan->fileName);
  ListForUser(plan->klid);
  BuildCatalogue();
  editedPosition_ = -1;
  for (int i = 0; i < catalogue_->Count() && editedPosition_ < 0; ++i)
    if (SamePath(catalogue_->Get(i).Id.View(), plan->klid)) editedPosition_ = i;
  editor.Prompt();
  if (!CommandLineMode) dialogs_.ShowMessage(kImportedSuccessfully);
  return InstallResult::Installed;
}

InstallResult MainActions::RunCommandLine(const CommandLine& commandLine) {
  CommandLineMode = true;
  state_.unattended = true;
  if (!commandLine.create) return Edit(commandLine.position, commandLine.dataFile);
  CommandLine::Create create = *commandLine.create;
  if (create.fromFile) {
    std::string error;
    const auto given = LanguageAndNameOfFile(commandLine.dataFile, *system_.files, error);
    if (!given) {
      dialogs_.ShowError(error, "Error");
      return InstallResult::Failed;
    }
    create.language = given->language;
    create.name = given->name;
  }
  return Create(commandLine.position, create.language, create.name, commandLine.dataFile);
}

}  // namespace tastora
