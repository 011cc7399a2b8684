// One action at a time per system, between real processes on one root: a
// second program waits for the first and refuses, with a message and a
// failing status, when the first does not finish in time; programs started
// at once never mix a system; and the next action clears away what a killed
// one left.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "app/MainActions.h"
#include "app/ExitStatus.h"
#include "app/cli/Program.h"
#include "app/cli/RootOption.h"
#include "model/ProcessState.h"
#include "platform/ActionLock.h"
#include "platform/PlatformFactory.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/OfflineActionLock.h"
#include "reader/LayoutLibraryReader.h"
#include "tests/TestFiles.h"
#include "tests/TestRoots.h"

namespace tastora::testing {
namespace {
namespace fs = std::filesystem;

const std::string kGerman = std::string(TASTORA_SOURCE_DIR) + "/examples/german.vyr2000";
const std::string kFrench = std::string(TASTORA_SOURCE_DIR) + "/examples/french.vyr2000";

// A command of the program in a process of its own, its output in `out`.
pid_t Spawn(const std::vector<std::string>& args, const fs::path& out) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    const int status = RunProgram(args);
    std::fflush(nullptr);
    ::_exit(status);
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// A root made by init, and what the program writes in it.
struct LockRoot {
  LockRoot() { testing::MakeRoot(Path(), RootWindows::Windows10, testing::RootContents::kInitialized); }
  std::string Path() const { return (dir.path / "root").string(); }
  fs::path Folder(const char* name) const { return dir.path / "root" / "drive_c" / "windows" / name; }
  // The registry files and the names in the system folders.
  std::string State() const {
    std::string out = ReadHost(dir.path / "root" / "system.reg") + ReadHost(dir.path / "root" / "user.reg");
    for (const char* folder : {"syswow64", "system32"})
      for (const auto& entry : fs::directory_iterator(Folder(folder))) out += "|" + entry.path().string();
    return out;
  }
  TempDir dir{"tastora-lock"};
};

TEST(ActionLock, ASecondProgramWaitsThenRefusesAndChangesNothing) {
  const LockRoot root;
  const std::string dir = root.Path();
  const std::unique_ptr<ActionLock> held = OpenActionLock(dir);
  std::string error;
  ASSERT_EQ(held->Acquire(std::chrono::milliseconds(0), error), LockOutcome::Taken) << error;
  const std::string before = root.State();

  struct Case {
    const char* what;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"install", {"install", "0", kGerman, "--root", dir, "--wait", "0.2"}},
      {"create", {"create", "0", kGerman, "0407", "Mine", "--root", dir, "--wait=0.2"}},
      {"new", {"new", "0", "0407", "Mine", "--root", dir, "--wait", "0.2"}},
      {"restore", {"restore", "0", "--root", dir, "--yes", "--wait", "0.2"}},
      {"the positional form", {"0", kGerman, "--root", dir, "--wait", "0.2"}},
      {"init", {"init", "--root", dir, "--wait", "0.2"}},
  };
  for (const Case& c : cases) {
    const fs::path out = root.dir.path / "out.txt";
    EXPECT_EQ(Wait(Spawn(c.args, out)), kExitFailure) << c.what;
    const std::string said = ReadHost(out);
    EXPECT_NE(said.find("waiting up to 1 second for it to finish"), std::string::npos) << c.what << ": " << said;
    EXPECT_NE(said.find(kLockBusy), std::string::npos) << c.what << ": " << said;
    EXPECT_EQ(root.State(), before) << c.what;
  }

  held->Release();
  const fs::path out = root.dir.path / "out.txt";
  EXPECT_EQ(Wait(Spawn({"install", "0", kGerman, "--root", dir, "--wait", "0.2"}, out)), kExitOk) << ReadHost(out);
}

TEST(ActionLock, ASecondProgramGoesOnOnceTheFirstIsDone) {
  const LockRoot root;
  const std::unique_ptr<ActionLock> held = OpenActionLock(root.Path());
  std::string error;
  ASSERT_EQ(held->Acquire(std::chrono::milliseconds(0), error), LockOutcome::Taken) << error;
  const fs::path out = root.dir.path / "out.txt";
  const pid_t child = Spawn({"install", "0", kGerman, "--root", root.Path(), "--wait", "20"}, out);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  held->Release();
  EXPECT_EQ(Wait(child), kExitOk) << ReadHost(out);
  EXPECT_NE(ReadHost(out).find("waiting up to 20 seconds"), std::string::npos) << ReadHost(out);
  EXPECT_EQ(RegisteredLayoutFile(root.Path(), "00000409"), "l_kbdus.dll");
}

TEST(ActionLock, AKilledHolderLeavesTheSystemFree) {
  const LockRoot root;
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::unique_ptr<ActionLock> lock = OpenActionLock(root.Path());
    std::string error;
    if (lock->Acquire(std::chrono::milliseconds(0), error) != LockOutcome::Taken) ::_exit(1);
    for (;;) ::pause();
  }
  // Until the child holds it.
  const std::unique_ptr<ActionLock> lock = OpenActionLock(root.Path());
  std::string error;
  LockOutcome outcome = LockOutcome::Taken;
  for (int i = 0; i < 200 && outcome == LockOutcome::Taken; ++i) {
    outcome = lock->Acquire(std::chrono::milliseconds(0), error);
    if (outcome == LockOutcome::Taken) {
      lock->Release();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  EXPECT_EQ(outcome, LockOutcome::Busy);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(lock->Acquire(std::chrono::milliseconds(0), error), LockOutcome::Taken) << error;
}

TEST(ActionLock, EightNewLayoutsAtOnceAreEightWholeLayouts) {
  const LockRoot root;
  constexpr int kPrograms = 8;
  std::vector<pid_t> children;
  for (int n = 0; n < kPrograms; ++n)
    children.push_back(Spawn({"new", "2", "0407", "Parallel " + std::to_string(n), "--root", root.Path()},
                             root.dir.path / ("out" + std::to_string(n) + ".txt")));
  for (int n = 0; n < kPrograms; ++n)
    EXPECT_EQ(Wait(children[size_t(n)]), kExitOk) << ReadHost(root.dir.path / ("out" + std::to_string(n) + ".txt"));

  IconvCodePages codePages;
  RecordingDialogs dialogs;
  std::string error;
  auto system = OpenSystem(root.Path(), codePages, dialogs, error);
  ASSERT_TRUE(system) << error;
  TRegistryEnhanced machine(*system->registry, RootKey::hkLocalMachine);
  TRegistryEnhanced user(*system->registry, RootKey::hkCurrentUser);
  user.SetKey(kPreloadKey);
  std::multiset<std::string> preloaded;
  for (const std::string& name : user.GetValueNames()) preloaded.insert(user.ReadText(name));
  std::set<std::string> texts;
  std::set<std::string> files;
  std::set<std::string> layoutIds;
  for (int variant = 1; variant <= kPrograms; ++variant) {
    const std::string klid = "000" + std::to_string(variant) + "0407";
    machine.SetKey(std::string(kLayoutsKey) + "\\" + klid);
    texts.insert(machine.ReadText("Layout Text"));
    files.insert(machine.ReadText("Layout File"));
    layoutIds.insert(machine.ReadText("Layout Id"));
    EXPECT_EQ(preloaded.count(klid), 1u) << klid;
  }
  EXPECT_EQ(texts.size(), size_t(kPrograms));
  EXPECT_EQ(texts.count(""), 0u);
  EXPECT_EQ(layoutIds.size(), size_t(kPrograms));
  // Every library copy made is registered: none is left over.
  for (const char* folder : {"syswow64", "system32"}) {
    std::set<std::string> copies;
    for (const auto& entry : fs::directory_iterator(root.Folder(folder)))
      if (entry.path().filename().string().rfind("KBD", 0) == 0 &&
          entry.path().filename().string().find_first_of("0123456789") == 3)
        copies.insert(entry.path().filename().string());
    EXPECT_EQ(copies, files) << folder;
  }
}

// The typing keys of a library, as our reader reads them.
std::vector<uint16_t> KeyChars(const fs::path& library) {
  auto state = std::make_unique<ProcessState>();
  auto layout = std::make_unique<KeyboardLayout>();
  Clear(*layout, *state);
  auto files = MakeFileSystem();
  auto loader = MakeLibraryLoader();
  RecordingDialogs dialogs;
  ReadLayoutLibrary(library.string(), *layout, *state, LayoutReaderPorts{*files, *loader, dialogs});
  std::vector<uint16_t> chars;
  for (int n = 1; n < 48; ++n)
    for (size_t slot : {0u, 1u}) chars.push_back(layout->Key(n).chars[slot]);
  return chars;
}

TEST(ActionLock, InstallsAtOnceOntoOneEntryLeaveOneLayoutInBothImages) {
  const LockRoot root;
  std::vector<pid_t> children;
  for (int n = 0; n < 4; ++n)
    children.push_back(Spawn({"install", "0", n % 2 ? kFrench : kGerman, "--root", root.Path()},
                             root.dir.path / ("out" + std::to_string(n) + ".txt")));
  for (int n = 0; n < 4; ++n)
    EXPECT_EQ(Wait(children[size_t(n)]), kExitOk) << ReadHost(root.dir.path / ("out" + std::to_string(n) + ".txt"));
  // Four installs one after the other: l_, o_, l_, o_.
  const std::string registered = RegisteredLayoutFile(root.Path(), "00000409");
  EXPECT_EQ(registered, "o_kbdus.dll");
  EXPECT_EQ(KeyChars(root.Folder("syswow64") / registered), KeyChars(root.Folder("system32") / registered));
}

TEST(ActionLock, TheNextActionClearsAwayTemporariesOfOurNamingOnly) {
  struct Case {
    const char* folder;  // under the root
    const char* name;
    bool removed;
  };
  const Case cases[] = {
      {"", ".system.reg.a1B2c3", true},
      {"", ".user.reg.ZZZZZZ", true},
      {"", ".other.reg.a1B2c3", false},
      {"", "system.reg.a1B2c3", false},
      {"drive_c/windows", ".loader.ini.Q1w2E3", true},
      {"drive_c/windows", ".win.ini.000000", true},
      {"drive_c/windows", ".notes.txt.Q1w2E3", false},
      {"drive_c/windows/syswow64", ".l_KBDGR.DLL.XyZ123", true},
      {"drive_c/windows/system32", ".KBD0.dll.aaaaaa", true},
      {"drive_c/windows/system32", ".KBD0.dll.aaaaa", false},      // five, not six
      {"drive_c/windows/system32", ".KBD0.dll.aaa-aa", false},
      {"drive_c/windows/system32", ".kbdus.exe.aaaaaa", false},
      {"drive_c/windows/system32", "KBDGR.DLL.aaaaaa", false},
  };
  const LockRoot root;
  for (const Case& c : cases) std::ofstream(root.dir.path / "root" / c.folder / c.name) << "left";
  // A folder of such a name is not ours to remove.
  fs::create_directory(root.Folder("system32") / ".KBD1.dll.bbbbbb");

  IconvCodePages codePages;
  RecordingDialogs dialogs;
  std::string error;
  auto system = OpenSystem(root.Path(), codePages, dialogs, error);
  ASSERT_TRUE(system) << error;
  auto state = std::make_unique<ProcessState>();
  MainActions actions(*system, codePages, dialogs, *state);
  actions.Start();
  ASSERT_EQ(actions.Edit(0, kGerman), InstallResult::Installed) << ::testing::PrintToString(dialogs.messages);

  for (const Case& c : cases)
    EXPECT_EQ(fs::exists(root.dir.path / "root" / c.folder / c.name), !c.removed) << c.folder << "/" << c.name;
  EXPECT_TRUE(fs::is_directory(root.Folder("system32") / ".KBD1.dll.bbbbbb"));
}

}  // namespace
}  // namespace tastora::testing
