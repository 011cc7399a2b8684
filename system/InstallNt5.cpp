// The install on Windows 2000 and later: the system's own file is never
// written. The new library goes beside it under an "l_"/"o_" name, as a
// 32-bit image for the 32-bit view of the system folder and a 64-bit image
// for the native one. "loader.ini" records the system file first, whole, so
// that no interruption leaves a registration on one of our copies without
// it; only when both images are complete is the registration pointed at the
// new file, so that it never names a missing or partial file. The native
// image is built for the system's processor: x64, or ARM64.

#include <cstdint>

#include "model/ProcessState.h"
#include "platform/Platform.h"
#include "platform/Profile.h"
#include "platform/SystemFiles.h"
#include "system/LayoutInstaller.h"
#include "system/NewKbd.h"
#include "system/RegistryEnhanced.h"
#include "writer/LayoutLibraryWriter.h"

namespace tastora {
namespace {

// What the catalogue can hold of a file name; a longer name would come back
// cut, and the next install or restore would work on a file that is not there.
constexpr size_t kFileNameCapacity = decltype(LayoutEntry::LayoutFile)::capacity;

// More numbered records than any system has layouts; a "Count" beyond it
// does not make every install read the file a million times.
constexpr int32_t kMaxRecords = 1000;

using KeyChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// What the "Existing" section of loader.ini holds for one layout.
struct Records {
  int32_t count = 0;
  std::string systemFile;  // recorded for the layout; empty when none is
  int32_t number = 0;      // its numbered record, 0 when it has none
  std::string marker;      // the key named by the layout's identifier
  std::vector<std::string> allFiles;  // the system files of every numbered record
};

Records ReadRecords(Profile& profile, const std::string& id) {
  Records records;
  records.count = profile.ReadInteger(kLoaderIni, kExistingSection, "Count", 0);
  const int32_t last = records.count < 0 ? 0 : records.count > kMaxRecords ? kMaxRecords : records.count;
  for (int32_t n = 1; n <= last; ++n) {
    const std::string key = profile.ReadString(kLoaderIni, kExistingSection, std::to_string(n) + "key", "");
    const std::string file = profile.ReadString(kLoaderIni, kExistingSection, std::to_string(n) + "file", "");
    if (!file.empty()) records.allFiles.push_back(file);
    if (records.number == 0 && !file.empty() && SamePath(key, id)) {
      records.number = n;
      records.systemFile = file;
    }
  }
  records.marker = profile.ReadString(kLoaderIni, kExistingSection, id, "");
  if (!records.marker.empty()) records.systemFile = records.marker;
  return records;
}

std::optional<std::string> Value(Profile& profile, const std::string& key) {
  // A sentinel no value takes tells a missing key from an empty one.
  constexpr char kMissing[] = "\x01missing";
  std::string value = profile.ReadString(kLoaderIni, kExistingSection, key, kMissing);
  if (value == kMissing) return std::nullopt;
  return value;
}

}  // namespace

InstallResult LayoutInstaller::InstallNt5(const std::string& folder, const std::string& fileName) {
  Profile& profile = ports_.profile;
  SystemFiles& files = ports_.systemFiles;
  const std::string id = EditorEntry.Id.Str();
  const Records records = ReadRecords(profile, id);

  // A file in the 32-bit view and, on 64-bit Windows, in the native folder.
  auto inSystemFolders = [&](const std::string& name) {
    if (!files.FileExists(folder + name)) return false;
    const RedirectionOff off(files);
    return !off.Succeeded() || files.FileExists(files.SystemDirectory() + "\\" + name);
  };
  // Anything of that name in either folder.
  auto takenInSystemFolders = [&](const std::string& name) {
    if (files.PathExists(folder + name)) return true;
    const RedirectionOff off(files);
    return off.Succeeded() && files.PathExists(files.SystemDirectory() + "\\" + name);
  };

  // Whose file the registration names: one of our copies when the record
  // says so; one whose record a killed install did not get to write when it
  // has our name and the system file is there; else a system file.
  std::string systemFile = records.systemFile;
  bool ownCopy = IsOwnCopyName(fileName, systemFile);
  bool repaired = false;
  if (!ownCopy && fileName.size() > 2 && (fileName[0] == 'l' || fileName[0] == 'o') && fileName[1] == '_' &&
      IsPlainFileName(fileName.substr(2)) && inSystemFolders(fileName.substr(2))) {
    systemFile = fileName.substr(2);
    ownCopy = repaired = true;
  }
  if (!ownCopy) systemFile = fileName;
  const std::string name = InstalledFileName(fileName, systemFile);

  if (name.size() > kFileNameCapacity) {
    Refuse("The new layout file name \"" + name + "\" is longer than the " + std::to_string(kFileNameCapacity) +
           " characters a layout file name may have.");
    return InstallResult::Failed;
  }
  for (const std::string& recorded : records.allFiles) {
    if (SamePath(recorded, name)) {
      Refuse("The file " + name + " is recorded in " + kLoaderIni + " as a system file an install replaced, so it " +
             "is never written over.");
      return InstallResult::Failed;
    }
  }
  // Only a copy the record already called ours may be written over.
  if (!IsOwnCopyName(name, records.systemFile) && takenInSystemFolders(name)) {
    Refuse("The file " + name + " is already in the system folder, and " + kLoaderIni + " does not record it as " +
           "a copy this program made, so it is not written over.");
    return InstallResult::Failed;
  }

  // The record, whole and before anything else.
  if (records.number == 0 || !SamePath(records.systemFile, systemFile) || !SamePath(records.marker, systemFile)) {
    int32_t n = records.number;
    if (n == 0) {
      if (records.count == INT32_MAX) {
        Refuse(std::string("The record count in ") + kLoaderIni + " is at its largest; no record can be added.");
        return InstallResult::Failed;
      }
      n = (records.count < 0 ? 0 : records.count) + 1;
      // A record a damaged file holds beyond its Count keeps its number.
      while (n < INT32_MAX && !profile.ReadString(kLoaderIni, kExistingSection, std::to_string(n) + "key", "").empty())
        ++n;
    }
    const std::string number = std::to_string(n);
    const KeyChanges changes = {{number + "key", id},
                                {number + "file", systemFile},
                                {"Count", std::to_string(n > records.count ? n : records.count)},
                                {id, systemFile}};
    KeyChanges before;
    for (const auto& change : changes) before.emplace_back(change.first, Value(profile, change.first));
    if (!WriteRecord(changes)) {
      Refuse("Could not write the record of the replaced system file " + systemFile + " to " + kLoaderIni + ".");
      return InstallResult::Failed;
    }
    staged_.recordBefore = std::move(before);
    staged_.keepRecord = repaired;
  }

  // A later install keeps the folder's trailing backslash and adds one.
  const bool overSystemFile = name == "l_" + fileName;
  const std::string path32 = overSystemFile ? folder + name : folder + "\\" + name;
  const InstallResult written = WriteImages(path32, name);
  if (written != InstallResult::Installed) return written;
  staged_.registeredName = name;
  staged_.registers = true;
  return InstallResult::Installed;
}

bool LayoutInstaller::WriteRecord(const KeyChanges& changes) {
  return ports_.profile.WriteKeys(kLoaderIni, kExistingSection, changes);
}

InstallResult LayoutInstaller::WriteImages(const std::string& path32, const std::string& name) {
  const LibraryWriterPorts writer{ports_.writer, ports_.dialogs};
  // A Windows without a 64-bit system folder is 32-bit throughout, and its
  // libraries have 4-byte references; read in the 8-byte form, every table
  // would be null there.
  const bool native64 = ports_.systemFiles.HasNativeFolder();
  const auto write32 = native64 ? &WriteLayoutLibrary32 : &WriteLayoutLibraryNative32;
  try {
    // Listed before it is written: a write that fails half-way is taken back too.
    staged_.files.emplace_back(path32, false);
    if (write32(path32, *layout_, state_, writer) != LibraryWriteResult::Written) {
      Refuse("");
      return InstallResult::Failed;
    }
    if (!native64) return InstallResult::Installed;
    const RedirectionOff native(ports_.systemFiles);
    if (!native.Succeeded()) {
      // No way into the native folder; the 32-bit image is the one in use.
      ports_.dialogs.ShowMessage(kCannotRedirect);
      return InstallResult::Installed;
    }
    // Asked with the switch off: a build that stands in for the redirection
    // itself names the native folder only then.
    const std::string path64 = ports_.systemFiles.SystemDirectory() + "\\" + name;
    staged_.files.emplace_back(path64, true);
    // The native folder's processor, not this program's: on ARM64 the x86
    // image above is the same as on x64, the native one ARM64 code.
    const bool arm64 = ports_.systemFiles.NativeMachine() == Processor::Arm64;
    const auto writeNative = arm64 ? &WriteLayoutLibraryArm64 : &WriteLayoutLibrary64;
    if (writeNative(path64, *layout_, state_, writer) != LibraryWriteResult::Written) {
      Refuse("");
      return InstallResult::Failed;
    }
  } catch (const LibraryWriteError& e) {
    Refuse(e.what());
    return InstallResult::Failed;
  }
  return InstallResult::Installed;
}

InstallResult LayoutInstaller::Commit() {
  if (!staged_.registers) return InstallResult::Installed;
  const std::string& fileName = staged_.registeredName;
  TRegistryEnhanced machine(ports_.registry, RootKey::hkLocalMachine);
  machine.SetKey(std::string(kLayoutsKey) + "\\" + EditorEntry.EffectiveKlid());
  if (!machine.WriteValue("Layout File", fileName)) {
    Refuse("Could not write \"Layout File\" = " + fileName + " to the registration " + EditorEntry.EffectiveKlid() +
           ".");
    return InstallResult::Failed;
  }
  // Registered: from here on the files are the registration's, not ours to take back.
  staged_.files.clear();
  staged_.recordBefore.clear();
  catalogue_.SetLayoutFile(EditorEntry, fileName);
  return InstallResult::Installed;
}

}  // namespace tastora
