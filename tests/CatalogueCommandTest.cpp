// The catalogue as the command line prints it: on roots made by "init", and
// on a Wine prefix, where the Windows build (real registry API, run by Wine)
// and the offline build must print the same lines and see each other's changes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "TestPorts.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/OfflineRegistry.h"
#include "system/RegistryEnhanced.h"
#include "tests/TestFiles.h"
#include "tests/WineHost.h"

namespace tastora::testing {
namespace fs = std::filesystem;

namespace {

using testing::TempDir;
using testing::ReadHost;

std::string WithoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

// --- roots made by init -----------------------------------------------------

TEST(CatalogueCommand, ListsWhatInitRegistered) {
  const auto cli = HostCli();
  if (!cli) GTEST_SKIP() << "the tastora program is not built";
  const std::string nt =
      "0\t00000409\t\t0409\tEnglish (United States)\tEN\t0409\tUS\t\tkbdus.dll\tEnglish (United States)\n"
      "1\td0010409\t00020409\t0409\tEnglish (United States)\tEN\t0409\tUnited States-International\t0001\t"
      "KBDUSX.DLL\tEnglish (United States)\n"
      "2\t00000407\t\t0407\tGerman (Standard)\tDE\t0407\tGerman\t\tKBDGR.DLL\tGerman (Standard)\n";
  // The 8-bit family: tags as the table has them, locale names from the machine.
  const std::string family9x =
      "0\t00000409\t\t0409\tEnglish (United States)\tEn\t0409\tUS\t\tKBDUS.KBD\tEnglish (United States)\n"
      "1\td0010409\t00020409\t0409\tEnglish (United States)\tEn\t0409\tUnited States-International\t0001\t"
      "KBDUSX.KBD\tEnglish (United States)\n"
      "2\t00000407\t\t0407\tGerman (Standard)\tDe\t0407\tGerman\t\tKBDGR.KBD\tGerman (Standard)\n";
  struct Case {
    const char* windows;
    const std::string& tsv;
  };
  const Case cases[] = {{"10", nt}, {"xp", nt}, {"98", family9x}, {"95", family9x}};
  for (const Case& c : cases) {
    TempDir dir{"tastora-cli"};
    const std::string root = Quote((dir.path / "root").string());
    const ShellRun init = RunShell(Quote(cli->string()) + " init --root " + root + " --windows " + c.windows);
    ASSERT_EQ(init.status, 0) << init.err;
    const ShellRun list = RunShell(Quote(cli->string()) + " list --root " + root + " --tsv");
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, c.tsv) << c.windows;
    EXPECT_EQ(list.err, "");
    const ShellRun again = RunShell(Quote(cli->string()) + " init --root " + root);
    EXPECT_EQ(again.status, 1);
  }
}

TEST(CatalogueCommand, RefusesWhatItCannotList) {
  const auto cli = HostCli();
  if (!cli) GTEST_SKIP() << "the tastora program is not built";
  TempDir dir{"tastora-cli"};
  const std::string program = Quote(cli->string());
  const fs::path root = dir.path / "root";
  ASSERT_EQ(RunShell(program + " init --root " + Quote(root.string())).status, 0);
  {
    std::ofstream user(root / "user.reg", std::ios::app);
    user << "\n[Keyboard Layout\\\\Preload]\nthis is no registry line\n";
  }
  struct Case {
    std::string args;
    int status;
    std::string errorText;
  };
  const Case cases[] = {
      {"list --root " + Quote(root.string()) + " --tsv", 1, (root / "user.reg").string() + ":"},
      {"list --root " + Quote((dir.path / "nothing").string()), 1, "is not a Windows root"},
      {"list --root", 2, "--root needs a value (DIR)"},
      {"list --root " + Quote(root.string()) + " --wide", 2, "unknown option '--wide'"},
      {"init --root " + Quote((dir.path / "other").string()) + " --windows 2000", 2, "'2000' is not a value of --windows"},
  };
  for (const Case& c : cases) {
    const ShellRun result = RunShell(program + " " + c.args);
    EXPECT_EQ(result.status, c.status) << c.args;
    EXPECT_EQ(result.out, "") << c.args;
    EXPECT_NE(result.err.find(c.errorText), std::string::npos) << c.args << ": " << result.err;
  }
  EXPECT_FALSE(fs::exists(dir.path / "other" / "system.reg"));
}

TEST(CatalogueCommand, MakesTheDefaultRootOnFirstUse) {
  const auto cli = HostCli();
  if (!cli) GTEST_SKIP() << "the tastora program is not built";
  TempDir dir{"tastora-cli"};
  const std::string run = "XDG_DATA_HOME=" + Quote(dir.path.string()) + " " + Quote(cli->string()) + " list --tsv";
  const ShellRun first = RunShell(run);
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_TRUE(fs::exists(dir.path / "tastora" / "root" / "system.reg"));
  EXPECT_EQ(std::count(first.out.begin(), first.out.end(), '\n'), 3);
  const ShellRun second = RunShell(run);
  EXPECT_EQ(second.out, first.out);
}

// --- a Wine prefix, both ways -------------------------------------------------------

// Registrations and preload entries as Windows' own tool adds them.
struct RegAdd {
  const char* key;
  const char* name;
  const char* type;
  const char* data;
};
const std::string kLayoutsKey = R"(HKLM\System\CurrentControlSet\Control\Keyboard Layouts\)";
const RegAdd kRegAdds[] = {
    {"00000409", "Layout File", "REG_SZ", "kbdus.dll"},
    {"00000409", "Layout Text", "REG_SZ", "US"},
    {"00000407", "Layout File", "REG_SZ", "KBDGR.DLL"},
    {"00000407", "Layout Text", "REG_SZ", "German"},
    {"00000407", "Layout Id", "REG_DWORD", "18"},
    {"0000040C", "Layout File", "REG_SZ", "KBDFR.DLL"},
    {"0000040C", "Layout Text", "REG_SZ", "French"},
    {"00000419", "Layout File", "REG_SZ", "KBDRU.DLL"},
    {"00000419", "Layout Text", "REG_BINARY", "52750000"},
    {"00020409", "Layout File", "REG_SZ", "KBDUSX.DLL"},
    {"00020409", "Layout Text", "REG_SZ", "United States-International"},
    {"00020409", "Layout Id", "REG_SZ", "0001"},
    {"00000449", "Layout File", "REG_SZ", "a_rather_long_layout_file.dll"},
    {"00000449", "Layout Text", "REG_SZ", "Tamil Phonetic"},
    {R"(HKCU\Keyboard Layout\Preload)", "1", "REG_SZ", "00000409"},
    {R"(HKCU\Keyboard Layout\Preload)", "2", "REG_SZ", "d0010409"},
    {R"(HKCU\Keyboard Layout\Preload)", "3", "REG_SZ", "00000407"},
    {R"(HKCU\Keyboard Layout\Preload)", "4", "REG_SZ", "0000040C"},
    {R"(HKCU\Keyboard Layout\Preload)", "10", "REG_SZ", "00000419"},
    {R"(HKCU\Keyboard Layout\Preload)", "11", "REG_SZ", "00000449"},
    {R"(HKCU\Keyboard Layout\Substitutes)", "d0010409", "REG_SZ", "00020409"},
};

const char kExpectedOnWine[] =
    "0\t00000409\t\t0409\tEnglish (United States)\tEN\t0409\tUS\t\tkbdus.dll\tEnglish (United States)\n"
    "1\t00000419\t\t0419\tRussian\tRU\t0419\t\t\tKBDRU.DLL\tRussian\n"
    "2\t00000449\t\t0449\tTamil\tTA\t0449\tTamil Phonetic\t\ta_rather_long_layout\tTamil\n"
    "3\td0010409\t00020409\t0409\tEnglish (United States)\tEN\t0409\tUnited States-International\t0001\t"
    "KBDUSX.DLL\tEnglish (United States)\n"
    "4\t00000407\t\t0407\tGerman (Standard)\tDE\t0407\tGerman\t18\tKBDGR.DLL\tGerman (Standard)\n"
    "5\t0000040C\t\t040C\tFrench (Standard)\tFR\t040C\tFrench\t\tKBDFR.DLL\tFrench (Standard)\n";

TEST(CatalogueCommand, UnderWineTheWindowsAndOfflineBuildsListTheSameAndSeeEachOthersChanges) {
  const auto cli = HostCli();
  const auto exe = Existing("TASTORA_WIN64_EXE", fs::path(TASTORA_SOURCE_DIR) / "build" / "mingw-x86_64" / "tastora.exe");
  if (!cli) GTEST_SKIP() << "the tastora program is not built";
  if (!exe) GTEST_SKIP() << "no 64-bit Windows build (cmake --preset mingw-x86_64, or set TASTORA_WIN64_EXE)";
  const auto shared = SharedWinePrefix();
  if (!shared) GTEST_SKIP() << "Wine (/usr/lib/wine/wine64) is not installed";

  // A private prefix: the system's files linked, the files Wine and we write copied.
  TempDir dir{"tastora-cli"};
  const fs::path prefix = dir.path / "prefix";
  const PrivateWinePrefix copy(*shared, prefix);
  ASSERT_TRUE(copy.Made());
  const std::string wine = WineEnvironment(prefix) + "timeout 120 " + kWine64;

  std::string adds;
  for (const RegAdd& add : kRegAdds) {
    // A bare identifier is a layout registration.
    const std::string key = std::string(add.key).find('\\') == std::string::npos ? kLayoutsKey + add.key : add.key;
    adds += wine + " reg add " + Quote(key) + " /v " + Quote(add.name) + " /t " + add.type + " /d " + Quote(add.data) +
            " /f >/dev/null && ";
  }
  const ShellRun added = RunShell(adds + "true");
  ASSERT_EQ(added.status, 0) << added.err;
  WaitForWineServer(prefix);

  const std::string windowsList = wine + " " + Quote(exe->string()) + " list --tsv";
  const std::string offlineList = Quote(cli->string()) + " --root " + Quote(prefix.string()) + " list --tsv";
  const ShellRun onWindows = RunShell(windowsList);
  WaitForWineServer(prefix);
  const ShellRun offline = RunShell(offlineList);
  ASSERT_EQ(onWindows.status, 0) << onWindows.err;
  ASSERT_EQ(offline.status, 0) << offline.err;
  EXPECT_EQ(WithoutCarriageReturns(onWindows.out), kExpectedOnWine);
  EXPECT_EQ(offline.out, kExpectedOnWine);

  // The offline side writes; Windows sees it.
  {
    IconvCodePages codePages;
    RecordingDialogs dialogs;
    OfflineRegistry registry(OfflineRoot(prefix), codePages, dialogs);
    std::string error;
    ASSERT_TRUE(registry.Load(error)) << error;
    TRegistryEnhanced machine(registry, RootKey::hkLocalMachine);
    machine.SetKey("\\System\\CurrentControlSet\\Control\\Keyboard Layouts\\00000407");
    ASSERT_TRUE(machine.WriteValue("Layout Text", std::string("German (changed offline)")));
    ASSERT_TRUE(machine.WriteValue("Layout File", std::string("l_KBDGR.DLL")));
    TRegistryEnhanced user(registry, RootKey::hkCurrentUser);
    user.SetKey("\\Keyboard Layout\\Preload");
    ASSERT_TRUE(user.WriteValue("5", std::string("00020409")));
  }
  const ShellRun changed = RunShell(windowsList);
  WaitForWineServer(prefix);
  ASSERT_EQ(changed.status, 0) << changed.err;
  std::string expected = kExpectedOnWine;
  const std::string german = "German\t18\tKBDGR.DLL";
  expected.replace(expected.find(german), german.size(), "German (changed offline)\t18\tl_KBDGR.DLL");
  expected += "6\t00020409\t\t0409\tEnglish (United States)\tEN\t0409\tUnited States-International\t0001\t"
              "KBDUSX.DLL\tEnglish (United States)\n";
  EXPECT_EQ(WithoutCarriageReturns(changed.out), expected);
  EXPECT_EQ(RunShell(offlineList).out, expected);
}

}  // namespace
}  // namespace tastora::testing
