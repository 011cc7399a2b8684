// Removing layouts on Windows roots made by init: a layout this program
// created goes with everything made for it (its Preload and Substitutes
// entries, its language-list entries, its registration, its libraries in every system folder, its
// records in "loader.ini"), and nothing else is ever removed.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "app/ExitStatus.h"
#include "app/cli/Program.h"
#include "platform/offline/OfflineProfile.h"
#include "system/CreatedLayouts.h"
#include "system/RemoveLayout.h"
#include "tests/TestFiles.h"
#include "tests/TestProgram.h"
#include "tests/TestRoots.h"

namespace tastora::testing {
namespace {
namespace fs = std::filesystem;

const std::string kGerman = std::string(TASTORA_SOURCE_DIR) + "/examples/german.vyr2000";

// Everything of a root that creating, installing and removing change, read
// by a new opening of it.
struct Trace {
  std::map<std::string, std::string> preload;
  std::map<std::string, std::string> substitutes;
  LanguageListState languageList;
  std::map<std::string, std::string> registrations;  // identifier -> "Layout File"
  std::set<std::string> files;                       // folder/name in the system folders
  std::string loaderIni;
  std::string wininit;
};

Trace TraceOf(const InitializedRoot& root, bool nt) {
  Trace trace;
  IconvCodePages codePages;
  RecordingDialogs dialogs;
  std::string error;
  auto system = OpenSystem(root.Path(), codePages, dialogs, error);
  EXPECT_TRUE(system) << error;
  if (!system) return trace;
  trace.preload = UserList(*system->registry, kPreloadKey, nt);
  trace.substitutes = UserList(*system->registry, kSubstitutesKey, nt);
  trace.languageList = LanguageListOf(*system->registry);
  TRegistryEnhanced machine(*system->registry, RootKey::hkLocalMachine);
  machine.SetKey(kLayoutsKey);
  for (const std::string& klid : machine.GetKeyNames()) {
    machine.SetKey(std::string(kLayoutsKey) + "\\" + klid);
    trace.registrations[klid] = machine.ReadText("Layout File");
    machine.SetKey(kLayoutsKey);
  }
  for (const char* folder : {"system32", "syswow64", "system"}) {
    std::error_code ec;
    for (fs::directory_iterator it(root.Windows() / folder, ec), end; !ec && it != end; it.increment(ec))
      trace.files.insert(std::string(folder) + "/" + it->path().filename().string());
  }
  trace.loaderIni = root.LoaderIni();
  trace.wininit = ReadHost(root.Windows() / "wininit.ini");
  return trace;
}

void ExpectSame(const Trace& actual, const Trace& expected) {
  EXPECT_EQ(actual.preload, expected.preload);
  EXPECT_EQ(actual.substitutes, expected.substitutes);
  EXPECT_EQ(actual.languageList, expected.languageList);
  EXPECT_EQ(actual.registrations, expected.registrations);
  EXPECT_EQ(actual.files, expected.files);
  EXPECT_EQ(actual.loaderIni, expected.loaderIni);
  EXPECT_EQ(actual.wininit, expected.wininit);
}

// Sets a user's list entry through the program's own registry, as another
// program would, and has the catalogue read again.
void SetUserEntry(Program& program, const char* list, bool nt, const std::string& name, const std::string& value) {
  TRegistryEnhanced user(*program.system->registry, RootKey::hkCurrentUser);
  user.SetKey(nt ? std::string(list) : std::string(list) + "\\" + name);
  EXPECT_TRUE(user.WriteValue(nt ? name : "", value));
  program.actions->BuildCatalogue();
}

TEST(RemoveLayout, ACreatedLayoutGoesWithoutATrace) {
  struct Case {
    RootWindows windows;
    bool nt;
    std::vector<const char*> folders;
    const char* copy;       // the template copy of the first new layout
    const char* installed;  // what its registration names after the install
    bool languageList;      // Windows 8 and later
  };
  const Case cases[] = {
      {RootWindows::Windows10, true, {"syswow64", "system32"}, "KBD0.dll", "l_KBD0.dll", true},
      {RootWindows::Windows11, true, {"syswow64", "system32"}, "KBD0.dll", "l_KBD0.dll", true},
      {RootWindows::Windows11Arm64, true, {"syswow64", "system32"}, "KBD0.dll", "l_KBD0.dll", true},
      {RootWindows::WindowsXp, true, {"system32"}, "KBD0.dll", "l_KBD0.dll", false},
      {RootWindows::Windows98, false, {"system"}, "KBD0.kbd", "KBD0.kbd", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WineNameOf(c.windows));
    const InitializedRoot root(c.windows);
    const Trace before = TraceOf(root, c.nt);
    Program program(root);
    program.actions->CommandLineMode = true;
    program.dialogs.answer = false;  // no restart after the install on the 8-bit family

    // Two new layouts, at Preload 4 and 5, recorded as ours.
    ASSERT_TRUE(program.actions->New(2, 0x0407, "My German").created);
    ASSERT_TRUE(program.actions->New(0, 0x0409, "Mine").created);
    Trace made = TraceOf(root, c.nt);
    EXPECT_EQ(made.preload["4"], "00010407");
    EXPECT_EQ(made.preload["5"], "00030409");
    EXPECT_EQ(made.registrations["00010407"], c.copy);
    for (const char* folder : c.folders) EXPECT_TRUE(made.files.count(std::string(folder) + "/" + c.copy));
    EXPECT_EQ(root.Ini("Created", "00010407"), c.copy);
    LanguageListState listed = before.languageList;
    if (c.languageList) {
      listed.entries["de-DE/0407:00010407"] = "2";
      listed.entries["en-US/0409:00030409"] = "3";
    }
    EXPECT_EQ(made.languageList, listed);

    // Installed onto, and reached through a substitute, as Windows does for
    // a second layout of a language.
    const auto position = PositionOf(*program.actions, "00010407");
    ASSERT_TRUE(position);
    ASSERT_EQ(program.actions->Edit(*position, kGerman), InstallResult::Installed);
    SetUserEntry(program, kPreloadKey, c.nt, "4", "d0010407");
    SetUserEntry(program, kSubstitutesKey, c.nt, "d0010407", "00010407");
    made = TraceOf(root, c.nt);
    EXPECT_EQ(made.registrations["00010407"], c.installed);
    EXPECT_EQ(made.substitutes["d0010407"], "00010407");
    if (c.nt) {
      EXPECT_EQ(root.Ini("Existing", "00010407"), c.copy);
    }

    // The first goes; the second closes the gap it leaves in Preload.
    const auto substituted = PositionOf(*program.actions, "d0010407");
    ASSERT_TRUE(substituted);
    EXPECT_EQ(program.actions->Remove(*substituted), InstallResult::Installed);
    EXPECT_TRUE(program.dialogs.Shown("The layout 00010407 (My German) has been removed."));
    Trace removed = TraceOf(root, c.nt);
    std::map<std::string, std::string> closed = before.preload;
    closed["4"] = "00030409";
    EXPECT_EQ(removed.preload, closed);
    EXPECT_EQ(removed.substitutes, before.substitutes);
    listed.entries.erase("de-DE/0407:00010407");
    EXPECT_EQ(removed.languageList, listed);
    EXPECT_FALSE(removed.registrations.count("00010407"));
    for (const std::string& file : removed.files) EXPECT_EQ(file.find("KBD0."), std::string::npos) << file;
    EXPECT_EQ(root.Ini("Created", "00010407"), "");
    EXPECT_EQ(root.Ini("Existing", "00010407"), "");
    EXPECT_EQ(root.Ini("Created", "00030409"), c.nt ? "KBD1.dll" : "KBD1.kbd");
    EXPECT_EQ(program.actions->Catalogue().Count(), 4);

    // And the second: the system is as it was before either was made.
    const auto mine = PositionOf(*program.actions, "00030409");
    ASSERT_TRUE(mine);
    EXPECT_EQ(program.actions->Remove(*mine), InstallResult::Installed);
    ExpectSame(TraceOf(root, c.nt), before);
    EXPECT_TRUE(program.dialogs.questions.size() <= 1u);  // only the 8-bit family's restart question
  }
}

TEST(RemoveLayout, OnlyALayoutThisProgramCreatedIsRemoved) {
  struct Case {
    const char* what;
    std::function<void(Program&, const InitializedRoot&)> setup;  // after New made 00010407 (KBD0.dll), at 3
    int position;
    std::optional<bool> answer;  // the question asked, and its answer
    InstallResult result;
    const char* message;  // shown, or in the question
  };
  auto set = [](const char* list, const std::string& name, const std::string& value) {
    return [=](Program& program, const InitializedRoot&) { SetUserEntry(program, list, true, name, value); };
  };
  auto unrecord = [](Program&, const InitializedRoot& root) {
    OfflineProfile(OfflineRoot(root.dir / "root")).WriteKeys("loader.ini", kCreatedSection, {{"00010407", {}}});
  };
  const Case cases[] = {
      {"a system layout", {}, 0, {}, InstallResult::Failed, "00000409 (US) was not created by this program"},
      {"one reached through a substitute", {}, 1, {}, InstallResult::Failed, "was not created by this program"},
      {"no such position", {}, 9, {}, InstallResult::Failed, "There is no layout at position 9"},
      {"the default layout",
       [&](Program& p, const InitializedRoot& r) {
         set(kPreloadKey, "1", "00010407")(p, r);
         set(kPreloadKey, "4", "00000409")(p, r);
       },
       0, {}, InstallResult::Failed, "00010407 (My German) is this user's default layout"},
      {"the default layout through its substitute",
       [&](Program& p, const InitializedRoot& r) {
         set(kPreloadKey, "4", "00000409")(p, r);
         set(kSubstitutesKey, "d0010407", "00010407")(p, r);
         set(kPreloadKey, "1", "d0010407")(p, r);
       },
       0, {}, InstallResult::Failed, "is this user's default layout"},
      {"the only layout",
       [&](Program& p, const InitializedRoot& r) {
         set(kPreloadKey, "1", "00010407")(p, r);
         for (const char* name : {"2", "3", "4"}) {
           TRegistryEnhanced user(*p.system->registry, RootKey::hkCurrentUser);
           user.SetKey(kPreloadKey);
           EXPECT_TRUE(user.DeleteValue(name));
         }
         p.actions->BuildCatalogue();
       },
       0, {}, InstallResult::Failed, "is the only layout of this user"},
      {"a record naming another file",
       [](Program& p, const InitializedRoot& r) {
         r.SetIni("loader.ini", kCreatedSection, "00010407", "KBD7.dll");
         p.actions->BuildCatalogue();
       },
       3, {}, InstallResult::Failed, "was not created by this program"},
      {"made before the record, declined", unrecord, 3, false, InstallResult::Cancelled, "its library KBD0.dll is one this program makes"},
      {"made before the record, confirmed", unrecord, 3, true, InstallResult::Installed, "has been removed"},
      {"a KBDn library without the Layout Id New writes",
       [&](Program& p, const InitializedRoot& r) {
         unrecord(p, r);
         TRegistryEnhanced machine(*p.system->registry, RootKey::hkLocalMachine);
         machine.SetKey(std::string(kLayoutsKey) + "\\00010407");
         EXPECT_TRUE(machine.DeleteValue("Layout Id"));
         p.actions->BuildCatalogue();
       },
       3, {}, InstallResult::Failed, "was not created by this program"},
      {"Windows' own kbd106.dll, with a Layout Id",
       [&](Program& p, const InitializedRoot& r) {
         unrecord(p, r);
         fs::copy_file(r.File("syswow64", "KBD0.dll"), r.File("syswow64", "kbd106.dll"));
         TRegistryEnhanced machine(*p.system->registry, RootKey::hkLocalMachine);
         machine.SetKey(std::string(kLayoutsKey) + "\\00010407");
         EXPECT_TRUE(machine.WriteValue("Layout File", std::string("kbd106.dll")));
         p.actions->BuildCatalogue();
       },
       3, {}, InstallResult::Failed, "was not created by this program"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const InitializedRoot root(RootWindows::Windows10);
    Program program(root);
    program.actions->CommandLineMode = true;
    ASSERT_TRUE(program.actions->New(2, 0x0407, "My German").created);
    if (c.setup) c.setup(program, root);
    const Trace before = TraceOf(root, true);
    if (c.answer) program.dialogs.answers = {*c.answer};

    EXPECT_EQ(program.actions->Remove(c.position), c.result);
    std::string said;
    for (const std::string& text : program.dialogs.messages) said += text + "\n";
    for (const std::string& text : program.dialogs.questions) said += text + "\n";
    EXPECT_NE(said.find(c.message), std::string::npos) << said;
    EXPECT_EQ(program.dialogs.questions.size(), c.answer ? 1u : 0u);
    if (c.result != InstallResult::Installed) {
      ExpectSame(TraceOf(root, true), before);
      continue;
    }
    const Trace after = TraceOf(root, true);
    EXPECT_FALSE(after.registrations.count("00010407"));
    EXPECT_FALSE(after.files.count("syswow64/KBD0.dll"));
    EXPECT_FALSE(after.files.count("system32/KBD0.dll"));
  }
}

// A removal killed after its registry pass: the next action on the system
// deletes what the layout left (its libraries, its records), and nothing of
// a layout that is still registered.
TEST(RemoveLayout, TheNextActionFinishesARemovalCutShort) {
  const InitializedRoot root(RootWindows::Windows10);
  Program program(root);
  program.actions->CommandLineMode = true;
  ASSERT_TRUE(program.actions->New(2, 0x0407, "My German").created);  // 00010407, KBD0.dll
  ASSERT_TRUE(program.actions->New(0, 0x0409, "Mine").created);       // 00030409, KBD1.dll
  ASSERT_EQ(program.actions->Edit(*PositionOf(*program.actions, "00010407"), kGerman), InstallResult::Installed);
  ASSERT_EQ(root.Ini("Existing", "00010407"), "KBD0.dll");
  {
    // What the registry pass of its removal did.
    TRegistryEnhanced machine(*program.system->registry, RootKey::hkLocalMachine);
    machine.SetKey(kLayoutsKey);
    ASSERT_TRUE(machine.DeleteKey("00010407"));
    SetUserEntry(program, kPreloadKey, true, "4", "00030409");
    TRegistryEnhanced user(*program.system->registry, RootKey::hkCurrentUser);
    user.SetKey(kPreloadKey);
    ASSERT_TRUE(user.DeleteValue("5"));
  }
  Trace cut = TraceOf(root, true);
  EXPECT_TRUE(cut.files.count("system32/l_KBD0.dll"));

  // Any action will do: here one that is refused.
  EXPECT_EQ(program.actions->Remove(0), InstallResult::Failed);
  const Trace after = TraceOf(root, true);
  for (const char* folder : {"syswow64/", "system32/"}) {
    for (const char* file : {"KBD0.dll", "l_KBD0.dll"}) EXPECT_FALSE(after.files.count(folder + std::string(file)));
    EXPECT_TRUE(after.files.count(folder + std::string("KBD1.dll")));
  }
  EXPECT_EQ(root.Ini("Created", "00010407"), "");
  EXPECT_EQ(root.Ini("Existing", "00010407"), "");
  EXPECT_EQ(root.Ini("Created", "00030409"), "KBD1.dll");
  cut.files = after.files;
  cut.loaderIni = after.loaderIni;
  ExpectSame(after, cut);  // the registry as it was
}

// The offline system files, but for libraries that Windows holds open.
class HeldOpenFiles final : public SystemFiles {
 public:
  HeldOpenFiles(SystemFiles& inner, bool atRestart) : inner_(inner), atRestart_(atRestart) {}
  std::string SystemDirectory() override { return inner_.SystemDirectory(); }
  bool DisableRedirection() override { return inner_.DisableRedirection(); }
  void RevertRedirection() override { inner_.RevertRedirection(); }
  bool HasNativeFolder() override { return inner_.HasNativeFolder(); }
  Processor NativeMachine() override { return inner_.NativeMachine(); }
  bool FileExists(const std::string& path) override { return inner_.FileExists(path); }
  bool PathExists(const std::string& path) override { return inner_.PathExists(path); }
  bool CopyFile(const std::string& from, const std::string& to) override { return inner_.CopyFile(from, to); }
  bool RemoveFile(const std::string& path) override {
    return path.find("l_KBD0") == std::string::npos && inner_.RemoveFile(path);
  }
  bool RemoveFileAtRestart(const std::string& path) override {
    scheduled.push_back(path);
    return atRestart_;
  }
  std::vector<std::string> scheduled;

 private:
  SystemFiles& inner_;
  bool atRestart_;
};

TEST(RemoveLayout, ALibraryWindowsHoldsOpenIsDeletedAtRestart) {
  const std::vector<std::string> held = {"C:\\windows\\system32\\l_KBD0.dll", "C:\\windows\\system32\\l_KBD0.dll"};
  for (const bool atRestart : {true, false}) {
    SCOPED_TRACE(atRestart ? "scheduled" : "not even that");
    const InitializedRoot root(RootWindows::Windows10);
    Program program(root);
    program.actions->CommandLineMode = true;
    ASSERT_TRUE(program.actions->New(2, 0x0407, "My German").created);
    ASSERT_EQ(program.actions->Edit(3, kGerman), InstallResult::Installed);
    HeldOpenFiles files(*program.system->systemFiles, atRestart);
    const RemovePorts ports{*program.system->registry, *program.system->profile, files, program.dialogs};

    const RemoveResult result = RemoveLayout(program.actions->Catalogue(), 3, true, false, ports);
    EXPECT_EQ(result, atRestart ? RemoveResult::Removed : RemoveResult::Failed);
    // Both views of the folder are named system32 by a 32-bit program.
    EXPECT_EQ(files.scheduled, held);
    const Trace after = TraceOf(root, true);
    EXPECT_FALSE(after.registrations.count("00010407"));
    EXPECT_TRUE(after.files.count("syswow64/l_KBD0.dll"));
    EXPECT_FALSE(after.files.count("syswow64/KBD0.dll"));
    EXPECT_TRUE(program.dialogs.Shown(atRestart ? "it will be deleted at the next restart:\r" + held[0]
                                                : "Could not delete these files:\r" + held[0]));
    // Not removed whole: its records stay for another try.
    EXPECT_EQ(root.Ini("Created", "00010407"), atRestart ? "" : "KBD0.dll");
  }
}

TEST(RemoveCommand, ExitStatusSaysWhatHappened) {
  const InitializedRoot root(RootWindows::Windows10);
  const std::string dir = root.Path();
  struct Case {
    int (*run)(const std::vector<std::string>&);
    std::vector<std::string> args;
    int status;
    const char* out;
  };
  const Case cases[] = {
      {RunProgram, {"new", "2", "0407", "Deutsch", "--root", dir}, kExitOk, "Created layout 00010407"},
      {RunProgram, {"new", "0", "0409", "Mine", "--root", dir}, kExitOk, "Created layout 00030409"},
      {RunProgram, {"remove", "0", "--root", dir}, kExitFailure, "was not created by this program"},
      {RunProgram, {"remove", "9", "--root", dir}, kExitFailure, "There is no layout at position 9"},
      {RunProgram, {"remove", "x", "--root", dir}, kExitUsage, "'x' is not a valid catalogue position"},
      {RunProgram, {"remove", "--root", dir}, kExitUsage, "missing POS"},
      {RunProgram, {"remove", "3", "--root", dir}, kExitOk, "Removed layout 00010407 (Deutsch)."},
      // Made before the record was kept: asked, and --no keeps it.
      {[](const std::vector<std::string>& args) {
         OfflineProfile(OfflineRoot(args[1])).WriteKeys("loader.ini", kCreatedSection, {{"00030409", {}}});
         return RunProgram({"remove", "3", "--root", args[1], "--no"});
       },
       {"--root", dir}, kExitCancelled, "cancelled; nothing changed"},
      {RunProgram, {"remove", "3", "--root", dir, "--yes"}, kExitOk, "Removed layout 00030409 (Mine)."},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& arg : c.args) line += arg + " ";
    SCOPED_TRACE(line);
    int status = 0;
    const std::string out = RunCapturing(c.args, status, c.run);
    EXPECT_EQ(status, c.status) << out;
    EXPECT_NE(out.find(c.out), std::string::npos) << out;
  }
  const Trace after = TraceOf(root, true);
  EXPECT_EQ(after.preload.size(), 3u);
  EXPECT_EQ(after.loaderIni, "");
}

}  // namespace
}  // namespace tastora::testing
