#include "system/LayoutInstaller.h"

#include "model/ProcessState.h"
#include "model/VkNames.h"
#include "platform/Platform.h"
#include "platform/Profile.h"
#include "platform/Session.h"
#include "platform/SystemFiles.h"
#include "system/NewKbd.h"
#include "writer/UnassignedKeys.h"

namespace tastora {
namespace {

constexpr uint16_t kNoVk = 0x00FF;
constexpr int kDuplicateFirst = 1;
constexpr int kDuplicateLast = 125;

constexpr uint32_t kFirstNt5Build = 2195;
constexpr uint32_t kWindows98Minor = 10;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

DuplicateKeyPair PairOf(const KeyRecord& a, const KeyRecord& b, bool wide) {
  DuplicateKeyPair pair;
  pair.key1Index = a.index;
  pair.key2Index = b.index;
  pair.key1Chars[0] = a.chars[0];
  pair.key1Chars[1] = a.chars[1];
  pair.key2Chars[0] = b.chars[0];
  pair.key2Chars[1] = b.chars[1];
  pair.wideChars = wide;
  pair.vkName = VkName(static_cast<uint16_t>(a.vk & 0xFF));
  return pair;
}

}  // namespace

bool SamePath(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool IsOwnCopyName(std::string_view fileName, std::string_view systemFile) {
  if (systemFile.empty() || fileName.size() != systemFile.size() + 2 || fileName[1] != '_') return false;
  const char prefix = Lower(fileName[0]);
  return (prefix == 'l' || prefix == 'o') && SamePath(fileName.substr(2), systemFile);
}

std::string InstalledFileName(std::string_view fileName, std::string_view recordedSystemFile) {
  if (IsOwnCopyName(fileName, recordedSystemFile))
    return (Lower(fileName[0]) == 'l' ? "o_" : "l_") + std::string(recordedSystemFile);
  return "l_" + std::string(fileName);
}

LayoutInstaller::LayoutInstaller(ProcessState& state, const InstallPorts& ports, TLocales& catalogue)
    : state_(state), ports_(ports), catalogue_(catalogue), layout_(std::make_unique<KeyboardLayout>()) {
  Clear(*layout_, state_);
}

InstallResult LayoutInstaller::Install() {
  if (!Confirm()) return InstallResult::Cancelled;
  InstallResult result = Stage();
  if (result == InstallResult::Installed) result = Commit();
  if (result != InstallResult::Installed) {
    const std::string left = Undo();
    if (!left.empty()) ports_.dialogs.ShowWarning("What the install wrote could not all be taken back; still there:" + left);
    return result;
  }
  Prompt();
  return result;
}

bool LayoutInstaller::Confirm() {
  if (!ConfirmDuplicateKeys()) return false;
  NormaliseUnassignedKeys(*layout_, state_);
  Modified = false;
  return true;
}

bool LayoutInstaller::ConfirmDuplicateKeys() {
  const bool wide = state_.IsNtPlatform();
  for (int i = kDuplicateFirst; i < kDuplicateLast; ++i) {
    const KeyRecord& a = layout_->Key(i);
    if (a.Mapped != 0 || a.vk == kNoVk) continue;
    for (int j = i + 1; j <= kDuplicateLast; ++j) {
      const KeyRecord& b = layout_->Key(j);
      if (b.vk != a.vk || b.Mapped != 0) continue;
      if (!ports_.dialogs.ShowDuplicateKeys(PairOf(a, b, wide))) return false;
    }
  }
  return true;
}

void LayoutInstaller::Refuse(const std::string& reason) {
  ports_.dialogs.ShowError(reason.empty() ? std::string(kNotInstalled) : reason + "\r" + kNotInstalled, "Error");
}

InstallResult LayoutInstaller::Stage() {
  staged_ = Staged{};
  // Everything below writes into the folder of EditorPath: it has to be the
  // system folder and the name a Windows file name, whatever the registry held.
  const size_t cut = EditorPath.find_last_of('\\');
  const std::string folder = cut == std::string::npos ? std::string() : EditorPath.substr(0, cut + 1);
  const std::string fileName = cut == std::string::npos ? EditorPath : EditorPath.substr(cut + 1);
  for (const std::string& name : {fileName, EditorEntry.LayoutFile.Str()}) {
    if (const std::string problem = FileNameProblem(name); !problem.empty()) {
      Refuse("The layout file name " + ShownFileName(name) + " is not a plain file name: " + problem + ".");
      return InstallResult::Failed;
    }
  }
  if (!SamePath(folder, ports_.systemFiles.SystemDirectory() + "\\")) {
    Refuse("The layout library " + EditorPath + " is not in the system folder.");
    return InstallResult::Failed;
  }

  const WindowsVersion& version = state_.windowsVersion;
  if (state_.IsNtPlatform())
    return version.major >= 5 && version.build >= kFirstNt5Build ? InstallNt5(folder, fileName) : InstallDirect();
  return version.minor >= kWindows98Minor ? InstallOnRestart() : InstallDirect();
}

void LayoutInstaller::Prompt() {
  const WindowsVersion& version = state_.windowsVersion;
  if (state_.IsNtPlatform()) {
    if (chbShowMess) AskLogOff();
  } else if (version.minor >= kWindows98Minor) {
    // The layout changes only when the system moves the new file over it.
    if (ports_.dialogs.AskYesNo(kAskRestartAfterRename)) (void)ports_.session.EndSession(ExitMode::Restart);
  } else if (chbShowMess) {
    AskRestart();
  }
}

std::string LayoutInstaller::Undo() {
  std::string left;
  bool filesGone = true;
  for (auto it = staged_.files.rbegin(); it != staged_.files.rend(); ++it) {
    const auto& [path, native] = *it;
    bool removed = false;
    if (native) {
      // The path names the native folder only with the switch off.
      const RedirectionOff off(ports_.systemFiles);
      removed = off.Succeeded() && ports_.systemFiles.RemoveFile(path);
    } else {
      removed = ports_.systemFiles.RemoveFile(path);
    }
    if (!removed) {
      filesGone = false;
      left += "\r" + path;
    }
  }
  staged_.files.clear();
  // Left files stay recorded as our own, so that the next install may write over them.
  if (!staged_.recordBefore.empty() && filesGone && !staged_.keepRecord) {
    if (!WriteRecord(staged_.recordBefore)) left += std::string("\rthe record in ") + kLoaderIni;
  }
  staged_.recordBefore.clear();
  if (staged_.renameBefore) {
    if (!ports_.profile.WriteKeys(kWininitFile, kRenameSection, {*staged_.renameBefore}))
      left += std::string("\rthe rename entry in ") + kWininitFile;
    staged_.renameBefore.reset();
  }
  return left;
}

}  // namespace tastora
