// Installing, creating and restoring layouts on Windows roots made by init,
// through the main actions as the window and the command line run them, one
// table per platform branch.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "LayoutCheck.h"
#include "app/ExitStatus.h"
#include "app/ExportLayout.h"
#include "app/MainActions.h"
#include "app/cli/Program.h"
#include "app/cli/RootOption.h"
#include "datafile/LayoutDataFile.h"
#include "kbdfile/KbdFile.h"
#include "model/KeyTable.h"
#include "model/Keypad.h"
#include "model/ProcessState.h"
#include "model/VkNames.h"
#include "platform/PlatformFactory.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/OfflineProfile.h"
#include "platform/offline/OfflineSession.h"
#include "reader/LayoutLibraryReader.h"
#include "system/RestoreLayout.h"
#include "writer/UnassignedKeys.h"
#include "tests/TestFiles.h"
#include "tests/TestProgram.h"
#include "tests/TestRoots.h"

namespace tastora::testing {
namespace {
namespace fs = std::filesystem;

const std::string kExamples = std::string(TASTORA_SOURCE_DIR) + "/examples/";
const std::string kGerman = kExamples + "german.vyr2000";

// "PE32", "PE32+" or "ARM64" by the machine of the file's header; empty when it is no library.
std::string ImageKind(const fs::path& path) {
  const std::string bytes = ReadHost(path);
  if (bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0) return "";
  const auto at = [&](size_t i) { return i < bytes.size() ? uint8_t(bytes[i]) : 0u; };
  const size_t pe = at(0x3C) | at(0x3D) << 8 | at(0x3E) << 16;
  const unsigned machine = at(pe + 4) | at(pe + 5) << 8;
  if (machine == 0x8664) return "PE32+";
  if (machine == 0xAA64)
    return testing::CheckLayoutLibrary(std::vector<uint8_t>(bytes.begin(), bytes.end())).empty() ? "ARM64"
                                                                                                  : "ARM64 broken";
  if (machine != 0x14C) return "?";
  // Which form its tables take: a Windows that is 32-bit throughout reads
  // 4-byte references, the 32-bit view of 64-bit Windows 8-byte ones.
  const std::vector<uint8_t> image(bytes.begin(), bytes.end());
  if (testing::CheckLayoutLibrary(image, 8).empty()) return "PE32";
  return testing::CheckLayoutLibrary(image, 4).empty() ? "PE32 narrow" : "PE32 broken";
}

using Root = InitializedRoot;

// The layout a data file gives, as an install writes it.
std::unique_ptr<KeyboardLayout> Imported(const std::string& file, ProcessState& state) {
  auto layout = std::make_unique<KeyboardLayout>();
  Clear(*layout, state);
  IconvCodePages codePages;
  RecordingDialogs dialogs;
  auto files = MakeFileSystem();
  EXPECT_TRUE(ImportLayoutFile(file, *layout, state, DataFilePorts{*files, dialogs, codePages}));
  AdjustNumpad(*layout, state);
  NormaliseUnassignedKeys(*layout, state);
  return layout;
}

// The typing keys of a library written by an install carry the data file's characters.
void ExpectLibraryHolds(const fs::path& library, const std::string& dataFile) {
  auto state = std::make_unique<ProcessState>();
  const auto expected = Imported(dataFile, *state);
  auto read = std::make_unique<KeyboardLayout>();
  Clear(*read, *state);
  auto files = MakeFileSystem();
  auto loader = MakeLibraryLoader();
  RecordingDialogs dialogs;
  ReadLayoutLibrary(library.string(), *read, *state, LayoutReaderPorts{*files, *loader, dialogs});
  EXPECT_TRUE(dialogs.messages.empty()) << library << ": " << dialogs.messages.front();
  for (int n = 1; n < kFirstKeypadKey; ++n)
    for (int slot : {0, 1, 6}) {
      EXPECT_EQ(read->Key(n).chars[size_t(slot)], expected->Key(n).chars[size_t(slot)])
          << library << " key " << n << " slot " << slot;
    }
}

// A copy of an example with some of its text replaced.
using Edits = std::vector<std::pair<std::string, std::string>>;

std::string Variant(const fs::path& dir, const std::string& name, const Edits& edits) {
  std::string text = ReadHost(kGerman);
  for (const auto& [from, to] : edits) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  const fs::path path = dir / name;
  WriteHost(path, text);
  return path.string();
}

// --- names ----------------------------------------------------------------

TEST(InstallNames, TheOtherCopyOnlyOverACopyTheRecordCallsOurs) {
  struct Case {
    const char* registered;
    const char* recorded;  // the system file loader.ini has for the layout
    const char* installed;
  };
  const Case cases[] = {
      {"kbdus.dll", "", "l_kbdus.dll"},
      {"kbdus.dll", "kbdus.dll", "l_kbdus.dll"},  // restored: the record stays
      {"l_kbdus.dll", "kbdus.dll", "o_kbdus.dll"},
      {"o_kbdus.dll", "kbdus.dll", "l_kbdus.dll"},
      {"L_KBDUS.DLL", "kbdus.dll", "o_kbdus.dll"},
      {"KBD0.dll", "", "l_KBD0.dll"},
      // Named like our copies, but not recorded as ours: a system file.
      {"l_kbdus.dll", "", "l_l_kbdus.dll"},
      {"o_kbdus.dll", "kbdfr.dll", "l_o_kbdus.dll"},
      {"k_CUSTOM.DLL", "", "l_k_CUSTOM.DLL"},
      {"i_kbdus.dll", "kbdus.dll", "l_i_kbdus.dll"},
      {"x_kbdus.dll", "", "l_x_kbdus.dll"},
      {"a", "", "l_a"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InstalledFileName(c.registered, c.recorded), c.installed) << c.registered << " " << c.recorded;
}

TEST(InstallCommandLine, ReadsTheTwoFormsAndRefusesBadNumbers) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    int32_t position;
    std::optional<int32_t> language;
  };
  const Case cases[] = {
      {{"0", "a.vyr2000"}, true, 0, std::nullopt},
      {{"12", "a.vyr2000", "0409", "Mine"}, true, 12, 0x0409},
      {{"+3", "a.vyr2000", "1041f", "Mine"}, true, 3, 0x1041F},
      {{"-1", "a.vyr2000"}, true, -1, std::nullopt},  // a position, outside the catalogue
      {{"2147483647", "a"}, true, INT32_MAX, std::nullopt},
      {{"2147483648", "a"}, false, 0, std::nullopt},
      {{"x", "a.vyr2000"}, false, 0, std::nullopt},
      {{"", "a.vyr2000"}, false, 0, std::nullopt},
      {{"$10", "a.vyr2000"}, false, 0, std::nullopt},
      {{"1 ", "a.vyr2000"}, false, 0, std::nullopt},
      {{"0", "a", "04G9", "N"}, false, 0, std::nullopt},
      {{"0", "a", "", "N"}, false, 0, std::nullopt},
      {{"0", "a", "123456789", "N"}, false, 0, std::nullopt},
      {{"0", "a", "80000000", "N"}, false, 0, std::nullopt},
      {{"0"}, false, 0, std::nullopt},
      {{"0", "a", "0409"}, false, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    CommandLine out;
    std::string error;
    const bool ok = ParseCommandLine(c.args, out, error);
    EXPECT_EQ(ok, c.ok) << c.args[0];
    if (!ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(out.position, c.position);
    EXPECT_EQ(out.dataFile, c.args[1]);
    ASSERT_EQ(out.create.has_value(), c.language.has_value());
    if (out.create) {
      EXPECT_EQ(out.create->language, *c.language);
      EXPECT_EQ(out.create->name, c.args[3]);
    }
  }
}

// --- the install, per platform ------------------------------------------------

struct PlatformCase {
  const char* name;
  RootWindows windows;
  const char* wineVersion;
  const char* folder32;       // where the program's own file operations land
  const char* systemFile;     // the file entry 0 (US) is registered with
  std::vector<std::string> registeredAfter;  // "Layout File" after each of three installs
  bool native64;              // a 64-bit image goes into system32 as well
  bool recordsReplacedFile;   // loader.ini learns the system file
  const char* architecture;   // the root's PROCESSOR_ARCHITECTURE, when it has one
};

const std::vector<PlatformCase>& Platforms() {
  static const std::vector<PlatformCase> cases = {
      {"Windows 10", RootWindows::Windows10, nullptr, "syswow64", "kbdus.dll",
       {"l_kbdus.dll", "o_kbdus.dll", "l_kbdus.dll"}, true, true, nullptr},
      {"Windows 10 on ARM64", RootWindows::Windows10, nullptr, "syswow64", "kbdus.dll",
       {"l_kbdus.dll", "o_kbdus.dll", "l_kbdus.dll"}, true, true, "ARM64"},
      {"Windows XP", RootWindows::WindowsXp, nullptr, "system32", "kbdus.dll",
       {"l_kbdus.dll", "o_kbdus.dll", "l_kbdus.dll"}, false, true, nullptr},
      {"Windows 2000", RootWindows::WindowsXp, "win2k", "system32", "kbdus.dll",
       {"l_kbdus.dll", "o_kbdus.dll", "l_kbdus.dll"}, false, true, nullptr},
      {"Windows NT 4", RootWindows::WindowsXp, "nt40", "system32", "kbdus.dll",
       {"kbdus.dll", "kbdus.dll", "kbdus.dll"}, false, false, nullptr},
      {"Windows 98", RootWindows::Windows98, nullptr, "system", "KBDUS.KBD",
       {"KBDUS.KBD", "KBDUS.KBD", "KBDUS.KBD"}, false, false, nullptr},
      {"Windows 95", RootWindows::Windows95, nullptr, "system", "KBDUS.KBD",
       {"KBDUS.KBD", "KBDUS.KBD", "KBDUS.KBD"}, false, false, nullptr},
  };
  return cases;
}

TEST(Install, ThreeInstallsOverOneEntryOnEveryPlatform) {
  for (const PlatformCase& c : Platforms()) {
    SCOPED_TRACE(c.name);
    const Root root(c.windows, c.wineVersion);
    if (c.architecture) SetProcessorArchitecture(root.Path(), c.architecture);
    const bool arm64 = c.architecture && std::string(c.architecture) == "ARM64";
    const std::string systemFileBefore = ReadHost(root.File(c.folder32, c.systemFile));
    const std::string native64Before = c.native64 ? ReadHost(root.File("system32", c.systemFile)) : "";
    std::string iniAfterFirst;
    for (size_t round = 0; round < 3; ++round) {
      SCOPED_TRACE("install " + std::to_string(round + 1));
      Program program(root);
      program.dialogs.answers = {false};  // a restart prompt, where one comes
      ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
      EXPECT_TRUE(program.dialogs.pairs.empty());
      EXPECT_EQ(program.dialogs.messages.back(), kImportedSuccessfully);
      const std::string& registered = c.registeredAfter[round];
      EXPECT_EQ(root.Registered("00000409"), registered);
      EXPECT_EQ(program.actions->Catalogue().Get(0).LayoutFile, registered);
      // A Windows without a native folder has nothing to redirect to, and is not told it cannot.
      EXPECT_FALSE(program.dialogs.Shown(kCannotRedirect));

      if (c.recordsReplacedFile) {
        // Beside the system file, which never changes.
        EXPECT_EQ(ReadHost(root.File(c.folder32, c.systemFile)), systemFileBefore);
        EXPECT_EQ(ImageKind(root.File(c.folder32, registered)), c.native64 ? "PE32" : "PE32 narrow");
        ExpectLibraryHolds(root.File(c.folder32, registered), kGerman);
        if (c.native64) {
          EXPECT_EQ(ReadHost(root.File("system32", c.systemFile)), native64Before);
          // The system's processor decides the native image; the 32-bit view's is the same.
          EXPECT_EQ(ImageKind(root.File("system32", registered)), arm64 ? "ARM64" : "PE32+");
          ExpectLibraryHolds(root.File("system32", registered), kGerman);
          if (arm64 && std::string(TASTORA_LLVM_READOBJ) != "") {
            const ShellRun read = RunShell(Quote(TASTORA_LLVM_READOBJ) + " --file-headers --coff-exports " +
                                           Quote(root.File("system32", registered).string()));
            EXPECT_EQ(read.status, 0);
            EXPECT_EQ(read.err, "");
            EXPECT_NE(read.out.find("IMAGE_FILE_MACHINE_ARM64"), std::string::npos);
            EXPECT_NE(read.out.find("Name: KbdLayerDescriptor"), std::string::npos);
          }
        }
        EXPECT_EQ(root.Ini("loader.ini", "Existing", "Count"), "1");
        EXPECT_EQ(root.Ini("loader.ini", "Existing", "1key"), "00000409");
        EXPECT_EQ(root.Ini("loader.ini", "Existing", "1file"), c.systemFile);
        EXPECT_EQ(root.Ini("loader.ini", "Existing", "00000409"), c.systemFile);
        if (round == 0) iniAfterFirst = ReadHost(root.Windows() / "loader.ini");
        EXPECT_EQ(ReadHost(root.Windows() / "loader.ini"), iniAfterFirst);
      } else {
        EXPECT_FALSE(fs::exists(root.Windows() / "loader.ini"));
      }
      if (c.windows == RootWindows::WindowsXp && !c.recordsReplacedFile) {
        // Windows NT 4: straight over the registered file.
        EXPECT_EQ(ImageKind(root.File(c.folder32, c.systemFile)), "PE32 narrow");
        ExpectLibraryHolds(root.File(c.folder32, c.systemFile), kGerman);
      }
      if (c.windows == RootWindows::Windows98) {
        // Beside the layout file, moved over it by the next start.
        EXPECT_EQ(ReadHost(root.File(c.folder32, c.systemFile)), systemFileBefore);
        EXPECT_TRUE(IsKbdFile(std::vector<uint8_t>{'D', 'S'}));
        const std::string written = ReadHost(root.File(c.folder32, "KBDUS.vyr"));
        EXPECT_TRUE(IsKbdFile(std::vector<uint8_t>(written.begin(), written.end())));
        EXPECT_EQ(root.Ini("wininit.ini", "rename", "C:\\windows\\system\\KBDUS.KBD"),
                  "C:\\windows\\system\\KBDUS.vyr");
        EXPECT_EQ(program.dialogs.questions, std::vector<std::string>{kAskRestartAfterRename});
      } else {
        EXPECT_TRUE(program.dialogs.questions.empty());
        EXPECT_FALSE(fs::exists(root.Windows() / "wininit.ini"));
      }
      if (c.windows == RootWindows::Windows95) {
        EXPECT_NE(ReadHost(root.File(c.folder32, c.systemFile)), systemFileBefore);
      }
      EXPECT_EQ(program.session().logOffRequests + program.session().restartRequests, 0);
    }
  }
}

TEST(Install, PromptsFollowShowRebootDialog) {
  struct Case {
    RootWindows windows;
    bool showMessages;
    bool answer;
    const char* question;  // none: nothing is asked
    int logOffs;
    int restarts;
  };
  const Case cases[] = {
      {RootWindows::Windows10, false, true, nullptr, 0, 0},
      {RootWindows::Windows10, true, false, kAskLogOff, 0, 0},
      {RootWindows::Windows10, true, true, kAskLogOff, 1, 0},
      {RootWindows::WindowsXp, true, true, kAskLogOff, 1, 0},
      {RootWindows::Windows95, false, true, nullptr, 0, 0},
      {RootWindows::Windows95, true, true, kAskRestart, 0, 1},
      {RootWindows::Windows98, false, true, kAskRestartAfterRename, 0, 1},
      {RootWindows::Windows98, true, false, kAskRestartAfterRename, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(WineNameOf(c.windows)) + (c.showMessages ? " shown" : " not shown"));
    const Root root(c.windows);
    root.SetIni("loader.ini", "WindowSection", "ShowMessages", c.showMessages ? "1" : "0");
    Program program(root);
    program.dialogs.answers = {c.answer};
    ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
    EXPECT_EQ(program.dialogs.questions,
              c.question ? std::vector<std::string>{c.question} : std::vector<std::string>{});
    EXPECT_EQ(program.session().logOffRequests, c.logOffs);
    EXPECT_EQ(program.session().restartRequests, c.restarts);
  }
}

TEST(Install, ASubstituteIsRegisteredUnderItsOwnKeyAndRecordedUnderThePreloadedOne) {
  const Root root(RootWindows::Windows10);
  Program program(root);
  ASSERT_EQ(program.actions->Catalogue().Get(1).Id, "d0010409");
  ASSERT_EQ(program.actions->Edit(1, kGerman), InstallResult::Installed);
  EXPECT_EQ(root.Registered("00020409"), "l_KBDUSX.DLL");
  EXPECT_EQ(root.Registered("00000409"), "kbdus.dll");
  EXPECT_EQ(root.Registered("d0010409"), "");
  EXPECT_EQ(program.actions->Catalogue().Get(1).LayoutFile, "l_KBDUSX.DLL");
  EXPECT_EQ(root.Ini("loader.ini", "Existing", "1key"), "d0010409");
  EXPECT_EQ(root.Ini("loader.ini", "Existing", "d0010409"), "KBDUSX.DLL");
  EXPECT_TRUE(fs::exists(root.File("syswow64", "l_KBDUSX.DLL")));
  EXPECT_TRUE(fs::exists(root.File("system32", "l_KBDUSX.DLL")));

  // A second system layout gets the next record.
  ASSERT_EQ(program.actions->Edit(2, kGerman), InstallResult::Installed);
  EXPECT_EQ(root.Ini("loader.ini", "Existing", "Count"), "2");
  EXPECT_EQ(root.Ini("loader.ini", "Existing", "2key"), "00000407");
  EXPECT_EQ(root.Ini("loader.ini", "Existing", "2file"), "KBDGR.DLL");
}

TEST(Install, RestoreGoesBackToTheSystemFile) {
  struct Case {
    bool answer;
    InstallResult result;
    const char* registered;
  };
  const Case cases[] = {{true, InstallResult::Installed, "kbdus.dll"}, {false, InstallResult::Cancelled, "o_kbdus.dll"}};
  for (const Case& c : cases) {
    const Root root(RootWindows::Windows10);
    Program program(root);
    ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
    ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
    program.dialogs.answers = {c.answer};
    EXPECT_EQ(program.actions->Restore(0), c.result);
    EXPECT_EQ(root.Registered("00000409"), c.registered);
    EXPECT_EQ(program.actions->Catalogue().Get(0).LayoutFile, c.registered);
    // The installed files stay; an entry never installed cannot be restored.
    EXPECT_TRUE(fs::exists(root.File("syswow64", "l_kbdus.dll")));
    EXPECT_EQ(program.actions->Restore(2), InstallResult::Failed);
    EXPECT_TRUE(program.dialogs.Shown(kNotFromSystemLayout));
    EXPECT_EQ(program.actions->Restore(7), InstallResult::Failed);
  }
}

TEST(Install, CreateThenInstallOntoTheNewLayout) {
  struct Case {
    RootWindows windows;
    const char* name;
    const char* registered;  // of the new layout, after the install
    const char* created;     // its template copy
    const char* folder;
    const char* german;      // the registered German layout, which stays as it is
  };
  const Case cases[] = {
      {RootWindows::Windows10, "My German", "l_KBD0.dll", "KBD0.dll", "syswow64", "KBDGR.DLL"},
      // The name of an existing layout: the data file still goes onto the new one.
      {RootWindows::Windows10, "German", "l_KBD0.dll", "KBD0.dll", "syswow64", "KBDGR.DLL"},
      {RootWindows::WindowsXp, "My German", "l_KBD0.dll", "KBD0.dll", "system32", "KBDGR.DLL"},
      {RootWindows::Windows98, "My German", "KBD0.kbd", "KBD0.kbd", "system", "KBDGR.KBD"},
      {RootWindows::Windows95, "My German", "KBD0.kbd", "KBD0.kbd", "system", "KBDGR.KBD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(WineNameOf(c.windows)) + " " + c.name);
    const Root root(c.windows);
    const std::string germanBefore = ReadHost(root.File(c.folder, c.german));
    Program program(root);
    program.dialogs.answers = {false};  // no restart
    CommandLine commandLine;
    commandLine.position = 0;
    commandLine.dataFile = kGerman;
    commandLine.create = CommandLine::Create{0x0407, c.name};
    ASSERT_EQ(program.actions->RunCommandLine(commandLine), InstallResult::Installed);
    EXPECT_TRUE(program.actions->CommandLineMode);
    EXPECT_FALSE(program.dialogs.Shown(kImportedSuccessfully));

    const LayoutEntry made = program.actions->Catalogue().Get(program.actions->EditedPosition());
    EXPECT_EQ(made.Id, "00010407");
    EXPECT_EQ(made.LayoutText, c.name);
    EXPECT_EQ(made.LayoutFile, c.registered);
    EXPECT_EQ(root.Registered("00010407"), c.registered);
    EXPECT_EQ(root.Registered("00000407"), c.german);
    EXPECT_EQ(ReadHost(root.File(c.folder, c.german)), germanBefore);
    EXPECT_TRUE(fs::exists(root.File(c.folder, c.created)));
    if (c.windows == RootWindows::Windows10 || c.windows == RootWindows::WindowsXp) {
      ExpectLibraryHolds(root.File(c.folder, c.registered), kGerman);
      EXPECT_EQ(root.Ini("loader.ini", "Existing", "00010407"), "KBD0.dll");
    }
    if (c.windows == RootWindows::Windows10) {
      EXPECT_EQ(ImageKind(root.File("system32", "KBD0.dll")), "PE32+");
      ExpectLibraryHolds(root.File("system32", c.registered), kGerman);
    }
    if (c.windows == RootWindows::Windows98) {
      EXPECT_EQ(root.Ini("wininit.ini", "rename", "C:\\windows\\system\\KBD0.kbd"),
                "C:\\windows\\system\\KBD0.vyr");
    }
  }
}

// --- what is not installed ------------------------------------------------------

TEST(Install, DuplicateVirtualKeysAreReportedPairByPair) {
  const Root root(RootWindows::Windows10);
  struct Case {
    const char* what;
    Edits edits;
    std::deque<bool> answers;
    size_t reports;
    InstallResult result;
  };
  const std::string key1 = "<KEY SCAN=\"02\" VK=\"0031\">";
  const std::string key2 = "<KEY SCAN=\"03\" VK=\"0032\">";
  const std::string key3 = "<KEY SCAN=\"04\" VK=\"0033\">";
  const std::string shared2 = "<KEY SCAN=\"03\" VK=\"0031\">";
  const std::string shared3 = "<KEY SCAN=\"04\" VK=\"0031\">";
  const std::string mappedFlags =
      "\n      <VALUE 0=\"0032\" 1=\"0022\" 6=\"00B2\"/>\n      <FLAGS CAPSAWARE=\"0\" CAPSAWARE2=\"0\" "
      "SHIFTLOCK=\"0\" KANA=\"0000\" MAPPED=\"0\"";
  std::string mappedFlags1 = mappedFlags;
  mappedFlags1.replace(mappedFlags1.size() - 2, 1, "1");
  const Case cases[] = {
      {"none", {}, {}, 0, InstallResult::Installed},
      {"one pair, Yes", {{key2, shared2}}, {true}, 1, InstallResult::Installed},
      {"one pair, No", {{key2, shared2}}, {false}, 1, InstallResult::Cancelled},
      {"three pairs, Yes then No", {{key2, shared2}, {key3, shared3}}, {true, false}, 2, InstallResult::Cancelled},
      {"three pairs, Yes", {{key2, shared2}, {key3, shared3}}, {true, true, true}, 3, InstallResult::Installed},
      {"VK 00FF", {{key1, "<KEY SCAN=\"02\" VK=\"00FF\">"}, {key2, "<KEY SCAN=\"03\" VK=\"00FF\">"}}, {false}, 0,
       InstallResult::Installed},
      {"a mapped key", {{key2 + mappedFlags, shared2 + mappedFlags1}}, {false}, 0, InstallResult::Installed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = Variant(root.dir, "dup.vyr2000", c.edits);
    const std::string before = root.Registered("00000409");
    Program program(root);
    program.dialogs.answers = c.answers;
    EXPECT_EQ(program.actions->Edit(0, file), c.result);
    ASSERT_EQ(program.dialogs.pairs.size(), c.reports);
    if (c.reports > 0) {
      const DuplicateKeyPair& pair = program.dialogs.pairs[0];
      EXPECT_EQ(pair.key1Index, 2);  // keys numbered as the key table has them
      EXPECT_EQ(pair.key2Index, 3);
      EXPECT_EQ(pair.key1Chars[0], u'1');
      EXPECT_EQ(pair.key2Chars[1], u'"');
      EXPECT_TRUE(pair.wideChars);
      EXPECT_EQ(pair.vkName, VkName(0x31));
    }
    if (c.result == InstallResult::Cancelled) {
      EXPECT_EQ(root.Registered("00000409"), before);
      EXPECT_EQ(program.actions->Catalogue().Get(0).LayoutFile, before);
      EXPECT_TRUE(program.dialogs.Shown(kInstallCancelled));
      EXPECT_FALSE(program.dialogs.Shown(kImportedSuccessfully));
    } else {
      EXPECT_NE(root.Registered("00000409"), before);
    }
  }
  // Nothing was written by the cancelled installs: five installs, l_ o_ l_ o_ l_.
  EXPECT_EQ(root.Registered("00000409"), "l_kbdus.dll");
}

// Enter and Num Enter share VK_RETURN only in its low byte, as in Windows'
// own US library: the exported US layout installs without a report.
TEST(Install, TheExportedUsLayoutInstallsWithoutAReport) {
  const Root root(RootWindows::Windows10);
  ProcessState state;
  const fs::path file = root.dir / "us.vyr2000";
  WriteHost(file, ExportDefaultLayout(state));
  Program program(root);
  EXPECT_EQ(program.actions->Edit(0, file.string()), InstallResult::Installed);
  EXPECT_TRUE(program.dialogs.pairs.empty());
}

TEST(Install, ADataFileThatDoesNotLoadIsNotInstalled) {
  const Root root(RootWindows::Windows10);
  WriteHost(root.dir / "german.txt", ReadHost(kGerman));
  WriteHost(root.dir / "garbage.vyr2000", "this is no layout");
  const std::string badNumber = Variant(root.dir, "bad.vyr2000", {{"VK=\"0031\"", "VK=\"00G1\""}});
  const std::string cases[] = {
      (root.dir / "german.txt").string(),      (root.dir / "missing.vyr2000").string(),
      (root.dir / "garbage.vyr2000").string(), badNumber,
  };
  for (const std::string& file : cases) {
    SCOPED_TRACE(file);
    Program program(root);
    EXPECT_EQ(program.actions->Edit(0, file), InstallResult::Failed);
    EXPECT_FALSE(program.dialogs.Shown(kImportedSuccessfully));
    EXPECT_TRUE(program.dialogs.Shown(kNotInstalled));
    EXPECT_EQ(root.Registered("00000409"), "kbdus.dll");
    EXPECT_FALSE(fs::exists(root.File("syswow64", "l_kbdus.dll")));
    EXPECT_FALSE(fs::exists(root.Windows() / "loader.ini"));
  }
}

TEST(Install, ALayoutFileOutsideTheSystemFolderIsRefused) {
  const char* const cases[] = {"..\\evil.dll", "C:\\evil.dll", "sub/evil.dll", "..", "", "evil.dll:stream",
                               // the installed name would not fit the catalogue, which would then cut it
                               "abcdefghijklmnop.dll",
                               // longer than the catalogue holds: cut, it would name another file
                               "abcdefghijklmnopqrst.dll",
                               // not names Windows takes as they are
                               ".", "   ", "CON", "nul.dll", "evil?.dll", "evil.dll.", "evil\n.dll"};
  for (const char* layoutFile : cases) {
    SCOPED_TRACE(ShownFileName(layoutFile));
    const Root root(RootWindows::Windows10);
    root.Register("00000409", layoutFile);
    Program program(root);
    EXPECT_EQ(program.actions->Edit(0, kGerman), InstallResult::Failed);
    EXPECT_TRUE(program.dialogs.Shown(kNotInstalled));
    if (std::string_view(layoutFile).find("abcdefghijklmnop") == std::string_view::npos) {
      EXPECT_TRUE(program.dialogs.Shown("is not a file name in the system folder: it ")) << program.dialogs.messages[0];
    }
    EXPECT_EQ(root.Registered("00000409"), layoutFile);
    EXPECT_FALSE(fs::exists(root.Windows() / "loader.ini"));
    for (const auto& entry : fs::recursive_directory_iterator(root.dir))
      EXPECT_EQ(entry.path().filename().string().find("evil"), std::string::npos) << entry.path();
    EXPECT_FALSE(fs::exists(root.File("syswow64", std::string("l_") + layoutFile)));
  }
}

TEST(Install, TheEditorWritesOnlyIntoTheSystemFolder) {
  const Root root(RootWindows::Windows10);
  Program program(root);
  LayoutInstaller& editor = program.actions->Editor();
  editor.EditorEntry = program.actions->Catalogue().Get(0);
  editor.EditorPath = "C:\\windows\\kbdus.dll";
  EXPECT_EQ(editor.Install(), InstallResult::Failed);
  EXPECT_FALSE(fs::exists(root.Windows() / "l_kbdus.dll"));
  editor.EditorPath = "C:\\WINDOWS\\System32\\kbdus.dll";  // the same folder, as Windows spells it
  EXPECT_EQ(editor.Install(), InstallResult::Installed);
  EXPECT_EQ(root.Registered("00000409"), "l_kbdus.dll");
}

TEST(Install, AnOddlyPrefixedSystemFileIsNeverWrittenOver) {
  const Root root(RootWindows::Windows10);
  for (const char* folder : {"syswow64", "system32"})
    fs::copy_file(root.File(folder, "kbdus.dll"), root.File(folder, "x_kbdus.dll"));
  root.Register("00000409", "x_kbdus.dll");
  const std::string before = ReadHost(root.File("syswow64", "x_kbdus.dll"));
  Program program(root);
  ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
  EXPECT_EQ(root.Registered("00000409"), "l_x_kbdus.dll");
  EXPECT_EQ(ReadHost(root.File("syswow64", "x_kbdus.dll")), before);
  EXPECT_EQ(root.Ini("loader.ini", "Existing", "00000409"), "x_kbdus.dll");
  ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
  EXPECT_EQ(root.Registered("00000409"), "o_x_kbdus.dll");
}

// What loader.ini records, not how a name looks, tells our copies from
// anybody else's: an install writes over a file only when the record calls
// it ours, never over a recorded system file, mends a record a killed
// install did not get to write, and completes one cut short.
TEST(Install, TheRecordDecidesWhatIsOurs) {
  using Ini = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* what;
    const char* registered;
    std::vector<std::string> files;  // in both system folders, "someone's" unless a copy of kbdus.dll
    Ini ini;
    const char* installed;  // "Layout File" after one install; empty when refused
    const char* recorded;   // the system file recorded for the layout afterwards
    const char* message;    // part of the refusal
  };
  const Ini cutShort = {{"Count", "1"}, {"1key", "00000409"}, {"1file", "kbdus.dll"}};
  const Ini restored = {{"Count", "1"}, {"1key", "00000409"}, {"1file", "kbdus.dll"}, {"00000409", "kbdus.dll"}};
  const Ini otherRecorded = {{"Count", "1"}, {"1key", "00000407"}, {"1file", "l_kbdus.dll"},
                             {"00000407", "l_kbdus.dll"}};
  const Case cases[] = {
      {"our name without a record: mended from the name", "l_kbdus.dll", {"l_kbdus.dll"}, {}, "o_kbdus.dll",
       "kbdus.dll", ""},
      {"a record cut short is completed, not made twice", "l_kbdus.dll", {"l_kbdus.dll"}, cutShort, "o_kbdus.dll",
       "kbdus.dll", ""},
      {"someone's file named like ours is a system file", "k_CUSTOM.DLL", {"k_CUSTOM.DLL"}, {}, "l_k_CUSTOM.DLL",
       "k_CUSTOM.DLL", ""},
      {"our name, but no system file beside it", "l_foo.dll", {"l_foo.dll"}, {}, "l_l_foo.dll", "l_foo.dll", ""},
      {"a restored layout goes back onto our own copy", "kbdus.dll", {"l_kbdus.dll"}, restored, "l_kbdus.dll",
       "kbdus.dll", ""},
      {"a file the record does not call ours stays", "kbdus.dll", {"l_kbdus.dll"}, {}, "", "",
       "is already in the system folder"},
      {"a recorded system file is never written over", "kbdus.dll", {}, otherRecorded, "", "",
       "is recorded in loader.ini as a system file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Root root(RootWindows::Windows10);
    for (const char* folder : {"syswow64", "system32"})
      for (const std::string& file : c.files) {
        if (file == "l_kbdus.dll" && c.ini.empty() && std::string_view(c.registered) == "kbdus.dll") {
          WriteHost(root.File(folder, file), "someone's");
        } else {
          fs::copy_file(root.File(folder, "kbdus.dll"), root.File(folder, file));
        }
      }
    for (const auto& [key, value] : c.ini) root.SetIni("loader.ini", "Existing", key, value);
    root.Register("00000409", c.registered);
    std::map<std::string, std::string> before;
    for (const std::string& file : c.files) before[file] = ReadHost(root.File("syswow64", file));

    Program program(root);
    const bool refused = *c.installed == '\0';
    EXPECT_EQ(program.actions->Edit(0, kGerman), refused ? InstallResult::Failed : InstallResult::Installed);
    if (refused) {
      EXPECT_TRUE(program.dialogs.Shown(c.message));
      EXPECT_EQ(root.Registered("00000409"), c.registered);
      for (const std::string& file : c.files) EXPECT_EQ(ReadHost(root.File("syswow64", file)), before[file]) << file;
      continue;
    }
    EXPECT_EQ(root.Registered("00000409"), c.installed);
    EXPECT_EQ(root.Ini("loader.ini", "Existing", "00000409"), c.recorded);
    EXPECT_EQ(root.Ini("loader.ini", "Existing", "Count"), "1");
    EXPECT_EQ(root.Ini("loader.ini", "Existing", "1file"), c.recorded);
    // A second install takes the other copy and leaves every file that is not ours as it was.
    ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
    EXPECT_EQ(root.Registered("00000409"), InstalledFileName(c.installed, c.recorded));
    for (const std::string& file : c.files) {
      if (!IsOwnCopyName(file, c.recorded)) {
        EXPECT_EQ(ReadHost(root.File("syswow64", file)), before[file]) << file;
      }
    }
    EXPECT_EQ(root.Ini("loader.ini", "Existing", "Count"), "1");
    // And restore goes back to the recorded system file, which is there.
    EXPECT_EQ(program.actions->Restore(0), InstallResult::Installed);
    EXPECT_EQ(root.Registered("00000409"), c.recorded);
  }
}

// The preload list may name one layout twice: every entry follows the
// install, and the next install in the same run goes on from our copy.
TEST(Install, APreloadListNamingALayoutTwiceFollowsEveryInstall) {
  const Root root(RootWindows::Windows10);
  {
    IconvCodePages codePages;
    RecordingDialogs dialogs;
    std::string error;
    auto system = OpenSystem(root.Path(), codePages, dialogs, error);
    TRegistryEnhanced user(*system->registry, RootKey::hkCurrentUser);
    user.SetKey(kPreloadKey);
    EXPECT_TRUE(user.WriteValue("4", std::string("00000409")));
  }
  Program program(root);
  ASSERT_EQ(program.actions->Catalogue().Get(3).Id, "00000409");
  ASSERT_EQ(program.actions->Edit(3, kGerman), InstallResult::Installed);
  EXPECT_EQ(program.actions->Catalogue().Get(0).LayoutFile, "l_kbdus.dll");
  EXPECT_EQ(program.actions->Catalogue().Get(3).LayoutFile, "l_kbdus.dll");
  ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
  EXPECT_EQ(root.Registered("00000409"), "o_kbdus.dll");
  EXPECT_EQ(root.Ini("loader.ini", "Existing", "00000409"), "kbdus.dll");
  EXPECT_EQ(root.Ini("loader.ini", "Existing", "Count"), "1");

  // What the command line reports comes from the registry.
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(RunProgram({"install", "3", kGerman, "--root", root.Path()}), kExitOk);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("its layout file is now l_kbdus.dll."), std::string::npos) << out;
}

// --- the command line -------------------------------------------------------------

TEST(InstallCommand, ExitStatusSaysWhatHappened) {
  const Root root(RootWindows::Windows10);
  const std::string dir = root.Path();
  const std::string dup = Variant(root.dir, "dup.vyr2000", {{"<KEY SCAN=\"03\" VK=\"0032\">", "<KEY SCAN=\"03\" VK=\"0031\">"}});
  const std::string refusedKlc = std::string(TASTORA_TEST_DATA) + "/klc/refused.klc";
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* out;  // in the standard output or error
    const char* registered;
  };
  const Case cases[] = {
      {{"install", "0", kGerman, "--root", dir}, kExitOk, "its layout file is now l_kbdus.dll", "l_kbdus.dll"},
      {{"--root", dir, "0", kGerman}, kExitOk, "its layout file is now o_kbdus.dll", "o_kbdus.dll"},
      {{"install", "0", dup, "--root", dir, "--no"}, kExitCancelled, "cancelled", "o_kbdus.dll"},
      {{"install", "0", dup, "--root", dir, "--yes"}, kExitOk, "l_kbdus.dll", "l_kbdus.dll"},
      // A .klc file the layout cannot carry whole: declined, it is a cancel, not a failure.
      {{"install", "0", refusedKlc, "--root", dir, "--no"}, kExitCancelled, "cancelled", "l_kbdus.dll"},
      {{"install", "0", (root.dir / "none.vyr2000").string(), "--root", dir}, kExitFailure, "was not installed",
       "l_kbdus.dll"},
      {{"install", "9", kGerman, "--root", dir}, kExitFailure, "There is no layout at position 9", "l_kbdus.dll"},
      {{"install", "-1", kGerman, "--root", dir}, kExitFailure, "There is no layout at position -1", "l_kbdus.dll"},
      {{"install", "x", kGerman, "--root", dir}, kExitUsage, "'x' is not a valid catalogue position", "l_kbdus.dll"},
      {{"install", "0", "--root", dir}, kExitUsage, "missing FILE", "l_kbdus.dll"},
      {{"install", "0", kGerman, "--root", dir, "--yes", "--no"}, kExitUsage, "exclude", "l_kbdus.dll"},
      {{"install", "0", kGerman, "--root", dir, "--force"}, kExitUsage, "unknown option", "l_kbdus.dll"},
      {{"zero", kGerman}, kExitUsage, "'zero' is not a valid catalogue position", "l_kbdus.dll"},
      {{"0", kGerman, "04x9", "N"}, kExitUsage, "'04x9' is not a valid language", "l_kbdus.dll"},
      {{"frobnicate"}, kExitUsage, "unknown command 'frobnicate'", "l_kbdus.dll"},
      {{"restore", "0", "--root", dir, "--no"}, kExitCancelled, "cancelled", "l_kbdus.dll"},
      {{"restore", "0", "--root", dir, "--yes"}, kExitOk, kRestored, "kbdus.dll"},
      {{"restore", "0", "--root", dir, "--yes"}, kExitFailure, "not restored", "kbdus.dll"},
      {{"restore", "0x", "--root", dir}, kExitUsage, "not a valid catalogue position", "kbdus.dll"},
      {{"new", "2", "0407", "Deutsch", "--root", dir}, kExitOk, "Created layout 00010407 (Deutsch) with the library KBD0.dll",
       "kbdus.dll"},
      {{"new", "2", "ZZ", "Deutsch", "--root", dir}, kExitUsage, "not a valid language", "kbdus.dll"},
      {{"new", "99", "0407", "Deutsch", "--root", dir}, kExitFailure, "no layout was created", "kbdus.dll"},
      {{"create", "0", kGerman, "0409", "Mine", "--root", dir}, kExitOk, "its layout file is now l_KBD1.dll",
       "kbdus.dll"},
      {{"0", kGerman, "041f", "Turkish", "--root", dir}, kExitOk, "0000041F (Turkish)", "kbdus.dll"},
      {{"create", "0", (root.dir / "none.vyr2000").string(), "0409", "Mine too", "--root", dir}, kExitFailure,
       "was not installed", "kbdus.dll"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& arg : c.args) line += arg + " ";
    SCOPED_TRACE(line);
    int status = 0;
    const std::string out = RunCapturing(c.args, status);
    EXPECT_EQ(status, c.status) << out;
    EXPECT_NE(out.find(c.out), std::string::npos) << out;
    EXPECT_EQ(root.Registered("00000409"), c.registered);
  }
  // The failed create made nothing: its data file is read before anything is.
  EXPECT_EQ(root.Registered("00020409"), "KBDUSX.DLL");
  EXPECT_EQ(root.Registered("00040409"), "");
  EXPECT_FALSE(fs::exists(root.File("syswow64", "KBD3.dll")));
  EXPECT_EQ(root.Registered("0000041F"), "l_KBD2.dll");
}

// --- export reads what the older family installs ------------------------------------

TEST(InstallExport, ALayoutFileOfTheOlderFamilyExportsAsMarkup) {
  const Root root(RootWindows::Windows95);
  Program program(root);
  ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
  auto state = std::make_unique<ProcessState>();
  state->unattended = true;
  IconvCodePages codePages;
  RecordingDialogs dialogs;
  auto files = MakeFileSystem();
  auto loader = MakeLibraryLoader();
  const LayoutSourcePorts ports{*files, dialogs, codePages, *loader};
  const auto markup = ExportLayoutFile(root.File("system", "KBDUS.KBD").string(), *state, ports);
  ASSERT_TRUE(markup) << (dialogs.messages.empty() ? "" : dialogs.messages.front());
  EXPECT_EQ(markup->rfind("<VYR_DAT_FILE LAYOUTNAME=\"KBDUS\"", 0), 0u);

  // Read back, it is the German layout again.
  const fs::path exported = root.dir / "kbdus.vyr2000";
  WriteHost(exported, *markup);
  const auto german = Imported(kGerman, *state);
  const auto again = Imported(exported.string(), *state);
  // Key 47 shares its one-byte scan code with Num / in such a file.
  for (int n = 1; n < 47; ++n) {
    EXPECT_EQ(again->Key(n).chars[0], german->Key(n).chars[0]) << n;
    EXPECT_EQ(again->Key(n).vk, german->Key(n).vk) << n;
  }
  // A file that is neither library, layout file nor data file still is refused.
  WriteHost(root.dir / "DSX", "DX");
  EXPECT_FALSE(ExportLayoutFile((root.dir / "DSX").string(), *state, ports));
}

}  // namespace
}  // namespace tastora::testing
