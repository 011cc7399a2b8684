// Restoring layouts on Windows roots made here: the registration goes back to
// the system's own file only after the user agrees, and never to a file that
// is not there.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/PlatformFactory.h"
#include "platform/offline/IconvCodePages.h"
#include "system/NewKbd.h"
#include "system/RestoreLayout.h"
#include "tests/TestFiles.h"
#include "tests/TestRoots.h"

namespace tastora {
namespace {

using testing::TempDir;
using testing::ReadHost;
using testing::RecordingDialogs;
namespace fs = std::filesystem;

const std::string kLayouts = std::string(kLayoutsKey) + "\\";

// A registry that can be read through nothing and written to nowhere.
class DeadRegistry final : public RegistryBackend {
 public:
  std::unique_ptr<RegistryKey> Open(RootKey, const std::string&, bool) override { return nullptr; }
};



struct TestSystem {
  explicit TestSystem(RootWindows windows)
      : nt(windows != RootWindows::Windows98 && windows != RootWindows::Windows95),
        ports(testing::MakeOpenedRoot(dir.path.string(), windows, codePages, dialogs)) {}
  void Register(const std::string& klid, const std::string& file) {
    TRegistryEnhanced machine(*ports.registry, RootKey::hkLocalMachine);
    machine.SetKey(kLayouts + klid);
    machine.WriteValue("Layout File", file);
  }
  void Preload(const std::string& klid, const std::string& substitute = "") {
    TRegistryEnhanced user(*ports.registry, RootKey::hkCurrentUser);
    user.SetKey(nt ? std::string(kPreloadKey) : std::string(kPreloadKey) + "\\1");
    user.WriteValue(nt ? "1" : "", klid);
    if (substitute.empty()) return;
    user.SetKey(nt ? std::string(kSubstitutesKey) : std::string(kSubstitutesKey) + "\\" + klid);
    user.WriteValue(nt ? klid : "", substitute);
  }
  void Put(const std::string& folder, const std::string& name) {
    std::ofstream(dir.path / "drive_c" / "windows" / folder / name) << name;
  }
  std::string Machine(const std::string& klid) {
    TRegistryEnhanced machine(*ports.registry, RootKey::hkLocalMachine);
    machine.SetKey(kLayouts + klid);
    return machine.ReadText("Layout File");
  }
  TLocales& Catalogue() {
    TRegistryEnhanced user(*ports.registry, RootKey::hkCurrentUser);
    TRegistryEnhanced machine(*ports.registry, RootKey::hkLocalMachine);
    TRegistryEnhanced third(*ports.registry, RootKey::hkLocalMachine);
    catalogue = std::make_unique<TLocales>();
    if (nt) catalogue->CreateNt(user, machine, third, dialogs);
    else catalogue->Create9x(user, machine, third, dialogs);
    return *catalogue;
  }
  bool Restore(int position, RegistryBackend* registry = nullptr) {
    TLocales& locales = catalogue ? *catalogue : Catalogue();
    return RestoreLayout(locales, position,
                         RestorePorts{registry ? *registry : *ports.registry, *ports.systemFiles, dialogs});
  }
  std::string MachineFile() const { return ReadHost(dir.path / "system.reg"); }

  const bool nt;
  TempDir dir{"tastora-restore"};
  IconvCodePages codePages;
  RecordingDialogs dialogs;
  SystemPorts ports;
  std::unique_ptr<TLocales> catalogue;
};

const std::string kAsked = std::string(kRestoreCaption) + "|" + kRestoreQuestion;

TEST(RestoreLayout, PointsTheRegistrationBackAtTheSystemsOwnFile) {
  struct Case {
    const char* what;
    RootWindows windows;
    std::string layoutFile;
    std::string substitute;  // the registration's identifier when not empty
    std::vector<std::pair<std::string, std::string>> files;  // folder, name
    bool answer;
    std::string registered;  // "Layout File" afterwards
    std::vector<std::string> messages;
    bool asked;
  };
  const std::vector<std::pair<std::string, std::string>> both = {{"syswow64", "kbdus.dll"},
                                                                 {"system32", "kbdus.dll"}};
  const std::string notPlain = "not a file name";
  const std::string missing = "is missing";
  const Case cases[] = {
      {"an install's file", RootWindows::Windows10, "l_kbdus.dll", "", both, true, "kbdus.dll", {kRestored}, true},
      {"the other install name", RootWindows::Windows10, "o_kbdus.dll", "", both, true, "kbdus.dll", {kRestored},
       true},
      {"any first character", RootWindows::Windows10, "x_kbdus.dll", "", both, true, "kbdus.dll", {kRestored}, true},
      {"through a substitute", RootWindows::Windows10, "l_kbdus.dll", "00020409", both, true, "kbdus.dll",
       {kRestored}, true},
      {"the system's own file", RootWindows::Windows10, "kbdus.dll", "", both, true, "kbdus.dll",
       {kNotFromSystemLayout}, false},
      {"one character", RootWindows::Windows10, "l", "", both, true, "l", {kNotFromSystemLayout}, false},
      {"no registration", RootWindows::Windows10, "", "", both, true, "", {kNotFromSystemLayout}, false},
      {"the user says no", RootWindows::Windows10, "l_kbdus.dll", "", both, false, "l_kbdus.dll", {}, true},
      {"the system file is missing", RootWindows::Windows10, "l_kbdus.dll", "", {{"system32", "kbdus.dll"}}, true,
       "l_kbdus.dll", {missing}, false},
      {"the system file is missing in the native folder", RootWindows::Windows10, "l_kbdus.dll", "",
       {{"syswow64", "kbdus.dll"}}, true, "l_kbdus.dll", {missing}, false},
      {"a name reaching out of the folder", RootWindows::Windows10, "l_..\\kbdus.dll", "", both, true,
       "l_..\\kbdus.dll", {notPlain}, false},
      {"a name with a drive", RootWindows::Windows10, "l_C:kbdus.dll", "", both, true, "l_C:kbdus.dll", {notPlain},
       false},
      {"nothing after the prefix", RootWindows::Windows10, "l_", "", both, true, "l_", {notPlain}, false},
      {"a 32-bit Windows has one folder", RootWindows::WindowsXp, "l_kbdus.dll", "", {{"system32", "kbdus.dll"}},
       true, "kbdus.dll", {kRestored}, true},
      {"the 8-bit family", RootWindows::Windows98, "l_KBDUS.KBD", "", {{"system", "KBDUS.KBD"}}, true, "KBDUS.KBD",
       {kRestored}, true},
  };
  for (const Case& c : cases) {
    TestSystem system(c.windows);
    const std::string klid = c.substitute.empty() ? "00000409" : c.substitute;
    if (!c.layoutFile.empty()) system.Register(klid, c.layoutFile);
    system.Preload("00000409", c.substitute);
    for (const auto& [folder, name] : c.files) system.Put(folder, name);
    system.dialogs.answer = c.answer;
    const std::string before = system.MachineFile();

    const bool restored = system.Restore(0);
    const bool expectRestored = c.messages == std::vector<std::string>{kRestored};
    EXPECT_EQ(restored, expectRestored) << c.what;
    EXPECT_EQ(system.Machine(klid), c.registered) << c.what;
    if (!restored) {
      EXPECT_EQ(system.MachineFile(), before) << c.what;
    }
    EXPECT_EQ(system.catalogue->Get(0).LayoutFile.Str(), c.registered) << c.what;
    EXPECT_EQ(system.dialogs.questions, c.asked ? std::vector<std::string>{kAsked} : std::vector<std::string>{})
        << c.what;
    ASSERT_EQ(system.dialogs.messages.size(), c.messages.size()) << c.what;
    for (size_t i = 0; i < c.messages.size(); ++i)
      EXPECT_NE(system.dialogs.messages[i].find(c.messages[i]), std::string::npos)
          << c.what << ": " << system.dialogs.messages[i];
  }
}

TEST(RestoreLayout, NoSelectedRowDoesNothing) {
  TestSystem system(RootWindows::Windows10);
  system.Register("00000409", "l_kbdus.dll");
  system.Preload("00000409");
  system.Put("syswow64", "kbdus.dll");
  system.Put("system32", "kbdus.dll");
  for (const int position : {-1, 1}) {
    EXPECT_FALSE(system.Restore(position));
    EXPECT_TRUE(system.dialogs.messages.empty());
    EXPECT_TRUE(system.dialogs.questions.empty());
    EXPECT_EQ(system.Machine("00000409"), "l_kbdus.dll");
  }
}

TEST(RestoreLayout, AFailedWriteIsNotReportedAsARestore) {
  TestSystem system(RootWindows::Windows10);
  system.Register("00000409", "l_kbdus.dll");
  system.Preload("00000409");
  system.Put("syswow64", "kbdus.dll");
  system.Put("system32", "kbdus.dll");
  system.Catalogue();
  DeadRegistry dead;

  EXPECT_FALSE(system.Restore(0, &dead));
  EXPECT_EQ(system.catalogue->Get(0).LayoutFile.Str(), "l_kbdus.dll");
  ASSERT_EQ(system.dialogs.messages.size(), 1u);
  EXPECT_NE(system.dialogs.messages[0].find("not restored"), std::string::npos) << system.dialogs.messages[0];
}

TEST(RestoreLayout, ANewLayoutInstalledOnceGoesBackToItsTemplateCopy) {
  TestSystem system(RootWindows::Windows10);
  system.Register("00000407", "KBDGR.DLL");
  system.Preload("00000407");
  system.Put("syswow64", "KBDGR.DLL");
  system.Put("system32", "KBDGR.DLL");
  const NewLayoutResult created = CreateWithParams(0, 0x0407, "Mine", system.Catalogue(), true,
                                                   NewLayoutPorts{*system.ports.registry, *system.ports.systemFiles,
                                                                  system.dialogs});
  ASSERT_TRUE(created.created) << created.error;
  ASSERT_EQ(created.klid, "00010407");

  // What an install leaves: its own file beside the copy, and the registration naming it.
  system.Register(created.klid, "l_" + created.fileName);
  system.Put("syswow64", "l_" + created.fileName);
  system.Put("system32", "l_" + created.fileName);
  TLocales& catalogue = system.Catalogue();
  int position = -1;
  for (int i = 0; i < catalogue.Count(); ++i)
    if (catalogue.Get(i).Id == created.klid) position = i;
  ASSERT_GE(position, 0);

  EXPECT_TRUE(system.Restore(position));
  EXPECT_EQ(system.Machine(created.klid), "KBD0.dll");
  EXPECT_EQ(system.catalogue->Get(position).LayoutFile.Str(), "KBD0.dll");
}

}  // namespace
}  // namespace tastora
