#include "system/EdKbd.h"

#include "model/ProcessState.h"
#include "model/VkNames.h"
#include "platform/Platform.h"
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

std::string AlternateInstallName(std::string_view fileName) {
  std::string name(fileName);
  if (name.empty()) return name;
  switch (name[0]) {
    case 'k': name[0] = 'i'; break;
    case 'i': name[0] = 'k'; break;
    case 'l': name[0] = 'o'; break;
    case 'o': name[0] = 'l'; break;
    default: break;
  }
  return name;
}

std::string InstalledFileName(std::string_view fileName) {
  if (fileName.size() >= 2 && fileName[1] == '_') {
    std::string alternate = AlternateInstallName(fileName);
    if (alternate != fileName) return alternate;
  }
  return "l_" + std::string(fileName);
}

TFEditKbd::TFEditKbd(ProcessState& state, const InstallPorts& ports, TLocales& catalogue)
    : state_(state), ports_(ports), catalogue_(catalogue), layout_(std::make_unique<KeyboardLayout>()) {
  Clear(*layout_, state_);
}

InstallResult TFEditKbd::btnOKClick() {
  if (!ConfirmDuplicateKeys()) return InstallResult::Cancelled;
  NormaliseUnassignedKeys(*layout_, state_);
  Modified = false;
  return Dispatch();
}

bool TFEditKbd::ConfirmDuplicateKeys() {
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

void TFEditKbd::Refuse(const std::string& reason) {
  ports_.dialogs.ShowError(reason.empty() ? std::string(kNotInstalled) : reason + "\r" + kNotInstalled, "Error");
}

InstallResult TFEditKbd::Dispatch() {
  // Everything below writes into the folder of EditorPath: it has to be the
  // system folder and the name a plain file name, whatever the registry held.
  const size_t cut = EditorPath.find_last_of('\\');
  const std::string folder = cut == std::string::npos ? std::string() : EditorPath.substr(0, cut + 1);
  const std::string fileName = cut == std::string::npos ? EditorPath : EditorPath.substr(cut + 1);
  if (!IsPlainFileName(fileName) || !IsPlainFileName(EditorEntry.LayoutFile.View())) {
    Refuse("The layout file name \"" + EditorEntry.LayoutFile.Str() + "\" is not a plain file name.");
    return InstallResult::Failed;
  }
  if (!SamePath(folder, ports_.systemFiles.SystemDirectory() + "\\")) {
    Refuse("The layout library " + EditorPath + " is not in the system folder.");
    return InstallResult::Failed;
  }

  const WindowsVersion& version = state_.windowsVersion;
  if (state_.IsNtPlatform()) {
    const InstallResult result = version.major >= 5 && version.build >= kFirstNt5Build
                                     ? InstallNt5(folder, fileName)
                                     : InstallDirect();
    if (result == InstallResult::Installed && chbShowMess) AskLogOff();
    return result;
  }
  if (version.minor >= kWindows98Minor) return InstallOnRestart();
  const InstallResult result = InstallDirect();
  if (result == InstallResult::Installed && chbShowMess) AskRestart();
  return result;
}

}  // namespace tastora
