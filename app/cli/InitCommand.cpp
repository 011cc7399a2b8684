// tastora init: makes a Windows root folder with a handful of real layouts
// registered and in the user's preload list.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/EmbeddedExamples.h"
#include "app/cli/CommandHelp.h"
#include "app/cli/Commands.h"
#include "app/cli/RootOption.h"
#include "app/cli/TerminalDialogs.h"
#include "app/cli/WaitOption.h"
#include "datafile/ImportErrors.h"
#include "datafile/LayoutDataFile.h"
#include "datafile/XmlReader.h"
#include "kbdfile/KbdFile.h"
#include "model/KeyboardLayout.h"
#include "model/Keypad.h"
#include "model/ProcessState.h"
#include "platform/ActionLock.h"
#include "platform/FileWriter.h"
#include "platform/PlatformFactory.h"
#include "writer/LayoutLibraryWriter.h"
#include "writer/UnassignedKeys.h"
#include "system/Locales.h"
#include "system/RegistryEnhanced.h"
#include "system/UserLanguageList.h"

namespace tastora {
namespace {

// The names --windows takes.
struct WindowsName {
  const char* name;
  RootWindows windows;
};
constexpr WindowsName kWindowsNames[] = {
    {"11", RootWindows::Windows11}, {"11-arm64", RootWindows::Windows11Arm64}, {"10", RootWindows::Windows10},
    {"8.1", RootWindows::Windows81}, {"xp", RootWindows::WindowsXp},          {"98", RootWindows::Windows98},
    {"95", RootWindows::Windows95},
};

struct RootLayout {
  const char* klid;
  const char* fileNt;
  const char* file9x;
  const char* text;
  const char* layoutId;  // empty where Windows has none
  const char* localeName;
};

// As Windows registers them; the 8-bit family keeps ".kbd" files instead of libraries.
constexpr RootLayout kLayouts[] = {
    {"00000409", "kbdus.dll", "KBDUS.KBD", "US", "", "English (United States)"},
    {"00000407", "KBDGR.DLL", "KBDGR.KBD", "German", "", "German (Standard)"},
    {"0000040C", "KBDFR.DLL", "KBDFR.KBD", "French", "", "French (Standard)"},
    {"00000419", "KBDRU.DLL", "KBDRU.KBD", "Russian", "", "Russian"},
    {"00020409", "KBDUSX.DLL", "KBDUSX.KBD", "United States-International", "0001", nullptr},
};

// The user's preload list; the second entry reaches US-International through a substitute.
constexpr const char* kPreload[] = {"00000409", "d0010409", "00000407"};
constexpr char kSubstituted[] = "d0010409";
constexpr char kSubstitute[] = "00020409";

// Where each registered layout's library comes from: the US layout is the
// model's own default, the others are the example data files.
const char* ExampleOf(const RootLayout& layout) {
  const std::string_view klid = layout.klid;
  if (klid == "00000407") return "german.vyr2000";
  if (klid == "0000040C") return "french.vyr2000";
  if (klid == "00000419") return "russian.vyr2000";
  if (klid == "00020409") return "us-international.vyr2000";
  return nullptr;
}

WindowsVersion VersionOf(RootWindows windows) {
  switch (windows) {
    case RootWindows::WindowsXp: return {kPlatformWin32Nt, 5, 1, 2600};
    case RootWindows::Windows98: return {kPlatformWin32Windows, 4, 10, 2222};
    case RootWindows::Windows95: return {kPlatformWin32Windows, 4, 0, 950};
    case RootWindows::Windows81: return {kPlatformWin32Nt, 6, 3, 9600};
    case RootWindows::Windows11:
    case RootWindows::Windows11Arm64: return {kPlatformWin32Nt, 10, 0, 22631};
    case RootWindows::Windows10: break;
  }
  return {kPlatformWin32Nt, 10, 0, 19045};
}

// Writes the library of every registered layout under its registered name:
// the 32-bit image into the folder 32-bit programs see as the system folder
// and, on 64-bit Windows, the image of its processor (x64 or ARM64) into the
// native one; ".kbd" files into the system folder of the 8-bit family.
bool WriteRootLibraries(const std::string& rootDir, RootWindows windows, std::string& error) {
  namespace fs = std::filesystem;
  const fs::path windowsFolder = fs::path(rootDir) / "drive_c" / "windows";
  const bool family9x = IsFamily9x(windows);
  const bool win64 = Is64BitWindows(windows);

  ProcessState state;
  state.unattended = true;
  state.windowsVersion = VersionOf(windows);
  auto files = MakeFileSystem();
  auto codePages = MakeCodePages();
  auto writer = MakeFileWriter();
  TerminalDialogs dialogs(stderr, stderr, false);
  auto layout = std::make_unique<KeyboardLayout>();

  for (const RootLayout& entry : kLayouts) {
    ResetToDefault(*layout, state);
    if (const char* example = ExampleOf(entry)) {
      const std::vector<std::string> lines = SplitLines(EmbeddedExample(example));
      try {
        if (!LoadLayoutLines(lines, *layout, state, DataFilePorts{*files, dialogs, *codePages})) {
          error = std::string("the built-in example ") + example + " did not load";
          return false;
        }
      } catch (const ImportError& e) {
        error = std::string("the built-in example ") + example + ": " + e.what();
        return false;
      }
      AdjustNumpad(*layout, state);
    }
    NormaliseUnassignedKeys(*layout, state);

    if (family9x) {
      const std::string path = (windowsFolder / "system" / entry.file9x).string();
      if (!WriteKbdFile(path, *layout, state, KbdWriterPorts{*writer, dialogs})) {
        error = "could not write " + path;
        return false;
      }
      continue;
    }
    const LibraryWriterPorts ports{*writer, dialogs};
    const std::string path32 = (windowsFolder / (win64 ? "syswow64" : "system32") / entry.fileNt).string();
    const auto write32 = win64 ? &WriteLayoutLibrary32 : &WriteLayoutLibraryNative32;
    if (write32(path32, *layout, state, ports) != LibraryWriteResult::Written) {
      error = "could not write " + path32;
      return false;
    }
    if (win64) {
      const std::string path64 = (windowsFolder / "system32" / entry.fileNt).string();
      const auto write64 = windows == RootWindows::Windows11Arm64 ? &WriteLayoutLibraryArm64 : &WriteLayoutLibrary64;
      if (write64(path64, *layout, state, ports) != LibraryWriteResult::Written) {
        error = "could not write " + path64;
        return false;
      }
    }
  }
  return true;
}

bool Register(RegistryBackend& registry, RootWindows windows) {
  RegistryWrites batch(registry);  // each registry file written once
  TRegistryEnhanced machine(registry, RootKey::hkLocalMachine);
  TRegistryEnhanced user(registry, RootKey::hkCurrentUser);
  const bool family9x = IsFamily9x(windows);
  bool ok = true;
  for (const RootLayout& layout : kLayouts) {
    machine.SetKey(std::string(kLayoutsKey) + "\\" + layout.klid);
    ok = machine.WriteValue("Layout File", std::string(family9x ? layout.file9x : layout.fileNt)) && ok;
    ok = machine.WriteValue("Layout Text", std::string(layout.text)) && ok;
    if (*layout.layoutId) ok = machine.WriteValue("Layout Id", std::string(layout.layoutId)) && ok;
  }

  int position = 1;
  for (const char* klid : kPreload) {
    const std::string name = std::to_string(position++);
    if (family9x) {
      // The 8-bit family keeps the preload list and the substitutes as subkeys with default values.
      user.SetKey(std::string(kPreloadKey) + "\\" + name);
      ok = user.WriteValue("", std::string(klid)) && ok;
    } else {
      user.SetKey(kPreloadKey);
      ok = user.WriteValue(name, std::string(klid)) && ok;
    }
  }
  if (family9x) {
    user.SetKey(std::string(kSubstitutesKey) + "\\" + kSubstituted);
    ok = user.WriteValue("", std::string(kSubstitute)) && ok;
    machine.SetKey(kLocaleKey);
    for (const RootLayout& layout : kLayouts)
      if (layout.localeName) ok = machine.WriteValue(layout.klid, std::string(layout.localeName)) && ok;
  } else {
    user.SetKey(kSubstitutesKey);
    ok = user.WriteValue(kSubstituted, std::string(kSubstitute)) && ok;
    machine.SetKey(kEnvironmentKey);
    ok = machine.WriteValue(kProcessorArchitecture, std::string(ProcessorArchitectureOf(windows))) && ok;
    // Windows 8 and later keep the user's layouts in the language list too,
    // made here from Preload as Windows makes it on an upgrade.
    if (UsesLanguageList(VersionOf(windows)))
      ok = AddToUserLanguageList(kPreload[0], LanguageListPorts{registry, nullptr}) && ok;
  }
  return batch.Commit() && ok;
}

// Takes the root's lock for init: two programs making one root would mix it.
bool HoldRoot(ActionLock& lock, std::chrono::milliseconds wait, std::string& error) {
  LockOutcome outcome = lock.Acquire(std::chrono::milliseconds(0), error);
  if (outcome == LockOutcome::Busy && wait.count() > 0) {
    std::fprintf(stderr, "%s\n", TerminalText(LockWaitText(wait)).c_str());
    outcome = lock.Acquire(wait, error);
  }
  if (outcome == LockOutcome::Busy) error = kLockBusy;
  return outcome == LockOutcome::Taken;
}

bool InitializeRoot(const std::string& dir, RootWindows windows, std::chrono::milliseconds wait,
                    std::string& error) {
  const std::unique_ptr<ActionLock> lock = OpenActionLock(dir);
  if (!HoldRoot(*lock, wait, error)) {
    error = TerminalText(error);
    return false;
  }
  struct Release {
    ActionLock& lock;
    ~Release() { lock.Release(); }
  } release{*lock};
  if (!CreateWindowsRoot(dir, windows, error)) return false;
  auto codePages = MakeCodePages();
  TerminalDialogs dialogs(stderr, stderr, false);
  auto system = OpenSystem(dir, *codePages, dialogs, error);
  if (!system) return false;
  if (!Register(*system->registry, windows)) {
    error = "could not write the registry of " + dir;
    return false;
  }
  return WriteRootLibraries(dir, windows, error);
}

}  // namespace

bool InitializeRoot(const std::string& dir, RootWindows windows, std::string& error) {
  return InitializeRoot(dir, windows, kDefaultLockWait, error);
}

int RunInit(const ParsedArgs& args) {
  std::string error;
  std::chrono::milliseconds wait = kDefaultLockWait;
  if (!ReadWaitOption(args, wait, error)) return UsageError(args.Command(), error);
  const std::string version = args.Value("windows").value_or("10");
  const auto* known = std::find_if(std::begin(kWindowsNames), std::end(kWindowsNames),
                                   [&version](const WindowsName& n) { return version == n.name; });
  if (known == std::end(kWindowsNames))
    return UsageError(args.Command(), "'" + version + "' is not a Windows version a root is made for");
  const RootWindows windows = known->windows;
  if (!PlatformUsesRootFolder())
    return UsageError(args.Command(), "on Windows the running system is used; there is no root to make");
  const std::string dir = args.Value("root").value_or(DefaultRootDir());
  if (dir.empty()) return UsageError(args.Command(), "no data folder for the default root: set HOME or give --root");
  if (!InitializeRoot(dir, windows, wait, error)) {
    std::fprintf(stderr, "tastora init: %s\n", error.c_str());
    return kExitFailure;
  }
  std::printf("Windows root made in %s\n", dir.c_str());
  return kExitOk;
}

}  // namespace tastora
