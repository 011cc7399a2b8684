// The older platforms: Windows NT before 2000 and Windows 95 take the new
// layout straight over the registered file; Windows 98 and ME cannot replace
// a layout file in use, so the new file is written beside it and moved over
// it by the system at the next start.

#include "kbdfile/KbdFile.h"
#include "model/ProcessState.h"
#include "platform/Platform.h"
#include "platform/Profile.h"
#include "system/LayoutInstaller.h"
#include "writer/LayoutLibraryWriter.h"

namespace tastora {

InstallResult LayoutInstaller::InstallDirect() {
  if (!state_.IsNtPlatform()) {
    if (!WriteKbdFile(EditorPath, *layout_, state_, KbdWriterPorts{ports_.writer, ports_.dialogs})) {
      Refuse("");
      return InstallResult::Failed;
    }
    return InstallResult::Installed;
  }
  try {
    // Windows NT before 2000 is 32-bit throughout: its libraries have 4-byte references.
    if (WriteLayoutLibraryNative32(EditorPath, *layout_, state_, LibraryWriterPorts{ports_.writer, ports_.dialogs}) ==
        LibraryWriteResult::Written)
      return InstallResult::Installed;
    Refuse("");
  } catch (const LibraryWriteError& e) {
    Refuse(e.what());
  }
  return InstallResult::Failed;
}

InstallResult LayoutInstaller::InstallOnRestart() {
  // KBDUS.KBD is replaced by KBDUS.vyr. The name has to keep the new file in
  // the same folder and apart from the file it replaces.
  const size_t nameStart = EditorPath.find_last_of('\\') + 1;
  if (EditorPath.size() - nameStart <= 3) {
    Refuse("The layout file name \"" + EditorPath.substr(nameStart) + "\" is too short to take a new extension.");
    return InstallResult::Failed;
  }
  const std::string target = EditorPath.substr(0, EditorPath.size() - 3) + "vyr";
  if (SamePath(target, EditorPath)) {
    Refuse("The layout file " + EditorPath + " cannot be replaced by a file of the same name.");
    return InstallResult::Failed;
  }
  staged_.files.emplace_back(target, false);
  if (!WriteKbdFile(target, *layout_, state_, KbdWriterPorts{ports_.writer, ports_.dialogs})) {
    // A rename entry now would move an incomplete file over the layout.
    Refuse("");
    return InstallResult::Failed;
  }
  // A sentinel no value takes tells a missing entry from an empty one.
  constexpr char kMissing[] = "\x01missing";
  const std::string before = ports_.profile.ReadString(kWininitFile, kRenameSection, EditorPath, kMissing);
  if (!ports_.profile.WriteString(kWininitFile, kRenameSection, EditorPath, target)) {
    Refuse(std::string("Could not write the rename entry to ") + kWininitFile + ".");
    return InstallResult::Failed;
  }
  staged_.renameBefore.emplace(EditorPath, before == kMissing ? std::nullopt : std::optional<std::string>(before));
  return InstallResult::Installed;
}

}  // namespace tastora
