#pragma once
// Offline Windows roots for the tests: what a fresh start of the program reads
// from a root's registry files.

#include <gtest/gtest.h>

#include <string>

#include "platform/Session.h"
#include "platform/offline/IconvCodePages.h"
#include "system/Locales.h"
#include "system/RegistryEnhanced.h"
#include "tests/TestPorts.h"

namespace tastora::testing {

// A new root of that Windows in `dir`, opened as the program opens it.
inline SystemPorts MakeOpenedRoot(const std::string& dir, RootWindows windows, CodePages& codePages,
                                  Dialogs& dialogs) {
  std::string error;
  EXPECT_TRUE(CreateWindowsRoot(dir, windows, error)) << error;
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
