#pragma once
// Offline Windows roots for the tests: what a fresh start of the program reads
// from a root's registry files, and roots made for them.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli/RootOption.h"
#include "platform/PlatformFactory.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/OfflineProfile.h"
#include "platform/offline/OfflineRoot.h"
#include "platform/offline/RootMachine.h"
#include "system/Locales.h"
#include "system/RegistryEnhanced.h"
#include "system/UserLanguageList.h"
#include "tests/TestFiles.h"
#include "tests/TestPorts.h"

namespace tastora::testing {

// What a new root holds: nothing but the folders and empty registry files, or
// what `tastora init` makes (the system's own layouts registered and preloaded).
enum class RootContents { kEmpty, kInitialized };

// A new root of that Windows in `dir`. With `wineVersion`, the root's Wine
// reports that version (another NT on the 32-bit root).
inline void MakeRoot(const std::string& dir, RootWindows windows, RootContents contents = RootContents::kEmpty,
                     const char* wineVersion = nullptr) {
  std::string error;
  const bool made = contents == RootContents::kInitialized ? InitializeRoot(dir, windows, error)
                                                            : CreateWindowsRoot(dir, windows, error);
  EXPECT_TRUE(made) << error;
  if (!made || !wineVersion) return;
  IconvCodePages codePages;
  RecordingDialogs dialogs;
  auto system = OpenSystem(dir, codePages, dialogs, error);
  ASSERT_TRUE(system) << error;
  TRegistryEnhanced user(*system->registry, RootKey::hkCurrentUser);
  user.SetKey("Software\\Wine");
  EXPECT_TRUE(user.WriteValue("Version", std::string(wineVersion)));
}

// A new root of that Windows in `dir`, opened as the program opens it.
inline SystemPorts MakeOpenedRoot(const std::string& dir, RootWindows windows, CodePages& codePages,
                                  Dialogs& dialogs, RootContents contents = RootContents::kEmpty) {
  MakeRoot(dir, windows, contents);
  std::string error;
  auto opened = OpenSystem(dir, codePages, dialogs, error);
  EXPECT_TRUE(opened) << error;
  return opened ? std::move(*opened) : SystemPorts{};
}

// "Layout File" of a registration, read through a new opening of the root.
inline std::string RegisteredLayoutFile(const std::string& rootDir, const std::string& klid) {
  IconvCodePages codePages;
  RecordingDialogs dialogs;
  std::string error;
  auto system = OpenSystem(rootDir, codePages, dialogs, error);
  if (!system) return "(root not opened: " + error + ")";
  TRegistryEnhanced machine(*system->registry, RootKey::hkLocalMachine);
  machine.SetKey(std::string(kLayoutsKey) + "\\" + klid);
  return machine.ReadText("Layout File");
}

// The user's Preload or Substitutes list, name -> identifier: values on
// the NT family, subkeys with default values on the 8-bit family.
inline std::map<std::string, std::string> UserList(RegistryBackend& registry, const char* list, bool nt) {
  TRegistryEnhanced user(registry, RootKey::hkCurrentUser);
  user.SetKey(list);
  std::map<std::string, std::string> out;
  for (const std::string& name : nt ? user.GetValueNames() : user.GetKeyNames()) {
    if (!nt) user.SetKey(std::string(list) + "\\" + name);
    out[name] = user.ReadText(nt ? name : "");
  }
  return out;
}

// The user's language list: "Languages" in its order, then each language's
// entries as "tag/LLLL:KKKKKKKK" -> order.
struct LanguageListState {
  std::vector<std::string> languages;
  std::map<std::string, std::string> entries;
  bool operator==(const LanguageListState&) const = default;
  friend void PrintTo(const LanguageListState& state, std::ostream* out) {
    for (const std::string& tag : state.languages) *out << tag << " ";
    for (const auto& [entry, order] : state.entries) *out << "| " << entry << "=" << order << " ";
  }
};
inline LanguageListState LanguageListOf(RegistryBackend& registry) {
  LanguageListState state;
  TRegistryEnhanced user(registry, RootKey::hkCurrentUser);
  user.SetKey(kUserProfileKey);
  state.languages = user.ReadStrings(kUserLanguagesValue);
  for (const std::string& tag : user.GetKeyNames()) {
    user.SetKey(std::string(kUserProfileKey) + "\\" + tag);
    for (const std::string& name : user.GetValueNames()) state.entries[tag + "/" + name] = user.ReadText(name);
    user.SetKey(kUserProfileKey);
  }
  return state;
}

// Sets the processor the root's Windows runs on, where Windows keeps it
// ("AMD64", "ARM64", "x86"); an ARM64 root is a Windows 10 root so marked.
inline void SetProcessorArchitecture(const std::string& rootDir, const std::string& value) {
  IconvCodePages codePages;
  RecordingDialogs dialogs;
  std::string error;
  auto system = OpenSystem(rootDir, codePages, dialogs, error);
  ASSERT_TRUE(system) << error;
  TRegistryEnhanced machine(*system->registry, RootKey::hkLocalMachine);
  machine.SetKey(kEnvironmentKey);
  EXPECT_TRUE(machine.WriteValue(kProcessorArchitecture, value));
}

// A Windows root made by init, in a temporary folder of its own (removed
// with it); copied, a second root as the first is now.
struct InitializedRoot {
  explicit InitializedRoot(RootWindows windows, const char* wineVersion = nullptr) : dir(NewFolder()) {
    // Other NT versions: the 32-bit root with the version Wine would report.
    MakeRoot(Path(), windows, RootContents::kInitialized, wineVersion);
  }
  InitializedRoot(const InitializedRoot& from) : dir(NewFolder()) {
    std::filesystem::copy(from.dir / "root", dir / "root", std::filesystem::copy_options::recursive);
  }
  InitializedRoot& operator=(const InitializedRoot&) = delete;
  ~InitializedRoot() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  std::string Path() const { return (dir / "root").string(); }
  std::filesystem::path Windows() const { return dir / "root" / "drive_c" / "windows"; }
  std::filesystem::path File(const char* folder, const std::string& name) const { return Windows() / folder / name; }
  std::string Ini(const std::string& file, const std::string& section, const std::string& key) const {
    return OfflineProfile(OfflineRoot(dir / "root")).ReadString(file, section, key, "");
  }
  // The program's own settings file, "loader.ini".
  std::string Ini(const std::string& section, const std::string& key) const { return Ini("loader.ini", section, key); }
  std::string LoaderIni() const { return ReadHost(Windows() / "loader.ini"); }
  void SetIni(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value) const {
    EXPECT_TRUE(OfflineProfile(OfflineRoot(dir / "root")).WriteString(file, section, key, value));
  }
  // What a fresh start reads from the registry files.
  std::string Registered(const std::string& klid) const { return RegisteredLayoutFile(Path(), klid); }
  void Register(const std::string& klid, const std::string& file) const {
    IconvCodePages codePages;
    RecordingDialogs dialogs;
    std::string error;
    auto system = OpenSystem(Path(), codePages, dialogs, error);
    ASSERT_TRUE(system) << error;
    TRegistryEnhanced machine(*system->registry, RootKey::hkLocalMachine);
    machine.SetKey(std::string(kLayoutsKey) + "\\" + klid);
    EXPECT_TRUE(machine.WriteValue("Layout File", file));
  }

  std::filesystem::path dir;

 private:
  static std::filesystem::path NewFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tastora-root-XXXXXX").string();
    return ::mkdtemp(pattern.data());
  }
};

}  // namespace tastora::testing
