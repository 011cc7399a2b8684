// The install on Windows 2000 and later: the system's own file is never
// written. The new library goes beside it under an "l_"/"o_" name, as a
// 32-bit image for the 32-bit view of the system folder and a 64-bit image
// for the native one; only when both are complete is the registration
// pointed at it, so that it never names a missing or partial file.

#include <cstdint>

#include "model/ProcessState.h"
#include "platform/Platform.h"
#include "platform/Profile.h"
#include "platform/SystemFiles.h"
#include "system/EdKbd.h"
#include "system/RegistryEnhanced.h"
#include "writer/LayoutLibraryWriter.h"

namespace tastora {
namespace {

// What the catalogue can hold of a file name; a longer name would come back
// cut, and the next install or restore would work on a file that is not there.
constexpr size_t kFileNameCapacity = decltype(LayoutEntry::LayoutFile)::capacity;

}  // namespace

InstallResult TFEditKbd::InstallNt5(const std::string& folder, const std::string& fileName) {
  const std::string name = InstalledFileName(fileName);
  const bool overSystemFile = name == "l_" + fileName;
  if (name.size() > kFileNameCapacity) {
    Refuse("The new layout file name \"" + name + "\" is longer than the " + std::to_string(kFileNameCapacity) +
           " characters a layout file name may have.");
    return InstallResult::Failed;
  }
  // A later install keeps the folder's trailing backslash and adds one.
  const std::string path32 = overSystemFile ? folder + name : folder + "\\" + name;
  const InstallResult written = WriteImages(path32, name);
  if (written != InstallResult::Installed) return written;
  if (!Register(name)) return InstallResult::Failed;
  if (overSystemFile) RecordReplacedFile(fileName);
  return InstallResult::Installed;
}

InstallResult TFEditKbd::WriteImages(const std::string& path32, const std::string& name) {
  const LibraryWriterPorts writer{ports_.writer, ports_.dialogs};
  // A Windows without a 64-bit system folder is 32-bit throughout, and its
  // libraries have 4-byte references; read in the 8-byte form, every table
  // would be null there.
  bool native64 = false;
  {
    const RedirectionOff probe(ports_.systemFiles);
    native64 = probe.Succeeded();
  }
  const auto write32 = native64 ? &WriteLayoutLibrary32 : &WriteLayoutLibraryNative32;
  try {
    if (write32(path32, *layout_, state_, writer) != LibraryWriteResult::Written) {
      Refuse("");
      return InstallResult::Failed;
    }
    const RedirectionOff native(ports_.systemFiles);
    if (!native.Succeeded()) {
      // No native folder to write to; the 32-bit image is the one in use.
      ports_.dialogs.ShowMessage(kCannotRedirect);
      return InstallResult::Installed;
    }
    // Asked with the switch off: a build that stands in for the redirection
    // itself names the native folder only then.
    const std::string path64 = ports_.systemFiles.SystemDirectory() + "\\" + name;
    if (WriteLayoutLibrary64(path64, *layout_, state_, writer) != LibraryWriteResult::Written) {
      Refuse("");
      return InstallResult::Failed;
    }
  } catch (const LibraryWriteError& e) {
    Refuse(e.what());
    return InstallResult::Failed;
  }
  return InstallResult::Installed;
}

bool TFEditKbd::Register(const std::string& fileName) {
  TRegistryEnhanced machine(ports_.registry, RootKey::hkLocalMachine);
  machine.SetKey(std::string(kLayoutsKey) + "\\" + EditorEntry.EffectiveKlid());
  if (!machine.WriteValue("Layout File", fileName)) {
    Refuse("Could not write \"Layout File\" = " + fileName + " to the registration " + EditorEntry.EffectiveKlid() +
           ".");
    return false;
  }
  catalogue_.SetLayoutFile(EditorEntry, fileName);
  return true;
}

void TFEditKbd::RecordReplacedFile(const std::string& fileName) {
  Profile& profile = ports_.profile;
  const std::string id = EditorEntry.Id.Str();
  if (!profile.ReadString(kLoaderIni, kExistingSection, id, "").empty()) return;
  const int64_t count = profile.ReadInteger(kLoaderIni, kExistingSection, "Count", 0);
  const std::string n = std::to_string(count < 0 ? 1 : count + 1);
  // The record is complete before Count takes it in, and the key that marks
  // the layout as recorded comes only after that.
  const bool recorded = profile.WriteString(kLoaderIni, kExistingSection, n + "key", id) &&
                        profile.WriteString(kLoaderIni, kExistingSection, n + "file", fileName) &&
                        profile.WriteString(kLoaderIni, kExistingSection, "Count", n) &&
                        profile.WriteString(kLoaderIni, kExistingSection, id, fileName);
  if (!recorded)
    ports_.dialogs.ShowWarning("The layout is installed, but the record of the replaced file " + fileName +
                               " could not be written to " + kLoaderIni + ".");
}

}  // namespace tastora
