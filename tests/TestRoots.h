#pragma once
// Offline Windows roots for the tests: what a fresh start of the program reads
// from a root's registry files, and roots made for them.

#include <gtest/gtest.h>

#include <string>

#include "app/cli/RootOption.h"
#include "platform/PlatformFactory.h"
#include "platform/offline/IconvCodePages.h"
#include "system/Locales.h"
#include "system/RegistryEnhanced.h"
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

}  // namespace tastora::testing
