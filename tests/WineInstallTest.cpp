// The Windows build installs under Wine with the real registry, file and
// loader APIs, run by the Windows program's own command line: afterwards the
// offline build sees the new registrations, and Wine's loader loads the
// 64-bit libraries the Windows build wrote. The layouts it made it then
// removes again, and the offline build sees them gone. The prefix says it is
// Windows 10, so the user's language list is kept too: through a stand-in
// input.dll that records the calls, and the keys the program writes itself.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "LayoutCheck.h"
#include "platform/offline/OfflineProfile.h"
#include "platform/offline/PeImageLoader.h"
#include "tests/TestFiles.h"
#include "tests/TestRoots.h"
#include "tests/WineHost.h"

namespace tastora::testing {
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Catalogue lines of `list --tsv` by position: the ten fields.
std::map<std::string, std::vector<std::string>> Catalogue(const std::string& tsv) {
  std::map<std::string, std::vector<std::string>> lines;
  std::istringstream in(tsv);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (!fields.empty()) lines[fields[0]] = fields;
  }
  return lines;
}

TEST(WineInstall, TheWindowsBuildInstallsCreatesAndRemovesFromItsCommandLine) {
  const auto cli = HostCli();
  const auto exe = Existing("TASTORA_WIN64_EXE", fs::path(TASTORA_SOURCE_DIR) / "build" / "mingw-x86_64" / "tastora.exe");
  const std::string dump = TASTORA_WINE_DUMP;
  if (!cli) GTEST_SKIP() << "the tastora program is not built";
  if (!exe) GTEST_SKIP() << "no 64-bit Windows build (cmake --preset mingw-x86_64, or set TASTORA_WIN64_EXE)";
  if (dump.empty() || !fs::exists(dump)) GTEST_SKIP() << "no MinGW x86_64 compiler for the table dump program";
  const auto shared = SharedWinePrefix();
  if (!shared) GTEST_SKIP() << "Wine (" << kWine64 << ") is not installed";

  const TempDir temp{"tastora-wine-install"};
  const fs::path& dir = temp.path;
  const fs::path prefix = dir / "prefix";
  const PrivateWinePrefix copy(*shared, prefix);
  ASSERT_TRUE(copy.Made());
  const fs::path system32 = prefix / "drive_c" / "windows" / "system32";
  const fs::path syswow64 = prefix / "drive_c" / "windows" / "syswow64";
  const std::string program = Quote(cli->string());
  const std::string wine = WineEnvironment(prefix) + "timeout 120 " + kWine64;

  // The system's own libraries of two layouts, in both folders, written by the offline build.
  const std::string us = (dir / "us.vyr2000").string();
  ASSERT_EQ(Shell(program + " export --us -o " + Quote(us)).status, 0);
  const std::string german = std::string(TASTORA_SOURCE_DIR) + "/examples/german.vyr2000";
  const std::string french = std::string(TASTORA_SOURCE_DIR) + "/examples/french.vyr2000";
  for (const auto& [source, file] : {std::pair{us, "kbdus.dll"}, std::pair{german, "KBDGR.DLL"}}) {
    const ShellRun built = Shell(program + " build " + Quote(source) + " -o " + Quote((syswow64 / file).string()) +
                            " --x64 " + Quote((system32 / file).string()));
    ASSERT_EQ(built.status, 0) << built.out;
  }
  const std::string layouts = R"(HKLM\System\CurrentControlSet\Control\Keyboard Layouts\)";
  const std::string adds[][3] = {
      {layouts + "00000409", "Layout File", "kbdus.dll"}, {layouts + "00000409", "Layout Text", "US"},
      {layouts + "00000407", "Layout File", "KBDGR.DLL"}, {layouts + "00000407", "Layout Text", "German"},
      {R"(HKCU\Keyboard Layout\Preload)", "1", "00000409"}, {R"(HKCU\Keyboard Layout\Preload)", "2", "00000407"},
      {R"(HKCU\Software\Wine)", "Version", "win10"},
  };
  const std::string stub = TASTORA_INPUT_STUB;
  ASSERT_TRUE(fs::exists(stub));
  fs::copy_file(stub, system32 / "input.dll");
  std::string regAdds;
  for (const auto& add : adds)
    regAdds += wine + " reg add " + Quote(add[0]) + " /v " + Quote(add[1]) + " /t REG_SZ /d " + Quote(add[2]) +
               " /f >/dev/null && ";
  ASSERT_EQ(Shell(regAdds + "true").status, 0);
  WaitForWineServer(prefix);

  const std::string windowsProgram = wine + " " + Quote(exe->string());
  // Its help as Windows users ask for it, without what only other hosts have.
  const ShellRun help = Shell(windowsProgram + " install /?");
  EXPECT_EQ(help.status, 0) << help.out;
  EXPECT_NE(help.out.find("usage: tastora install"), std::string::npos) << help.out;
  EXPECT_EQ(help.out.find("--root"), std::string::npos) << help.out;
  const std::string list = program + " --root " + Quote(prefix.string()) + " list --tsv";
  struct Step {
    std::string args;
    std::string position;  // the entry installed onto
    std::vector<std::string> fields;  // Id, LayoutText, LayoutFile after it
  };
  const Step steps[] = {
      {"0 " + Quote(WindowsPath(french)), "0", {"00000409", "US", "l_kbdus.dll"}},
      {"0 " + Quote(WindowsPath(german)), "0", {"00000409", "US", "o_kbdus.dll"}},
      {"1 " + Quote(WindowsPath(french)) + " 040c 'My French'", "2",
       {"0000040C", "My French", "l_KBD0.dll"}},
  };
  // The Windows build run with `args`, then the catalogue as the offline build reads it.
  auto runThenList = [&](const std::string& args) -> std::optional<std::map<std::string, std::vector<std::string>>> {
    const ShellRun run = Shell(windowsProgram + " " + args);
    WaitForWineServer(prefix);
    EXPECT_EQ(run.status, 0) << run.out;
    const ShellRun listed = Shell(list);
    EXPECT_EQ(listed.status, 0) << listed.out;
    if (run.status != 0 || listed.status != 0) return std::nullopt;
    return Catalogue(listed.out);
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.args);
    const auto catalogue = runThenList(step.args);
    ASSERT_TRUE(catalogue && catalogue->count(step.position));
    const std::vector<std::string>& entry = catalogue->at(step.position);
    ASSERT_EQ(entry.size(), 11u);
    EXPECT_EQ(entry[1], step.fields[0]);
    EXPECT_EQ(entry[7], step.fields[1]);
    EXPECT_EQ(entry[9], step.fields[2]);
  }
  // The system files replaced, recorded whole by the Windows build's own profile port.
  auto recorded = [&](const char* key) {
    return OfflineProfile(OfflineRoot(prefix)).ReadString("loader.ini", "Existing", key, "");
  };
  EXPECT_EQ(recorded("Count"), "2");
  EXPECT_EQ(recorded("00000409"), "kbdus.dll");
  EXPECT_EQ(recorded("1file"), "kbdus.dll");
  EXPECT_EQ(recorded("0000040C"), "KBD0.dll");
  EXPECT_EQ(recorded("2key"), "0000040C");
  // The system's own files stay as they were.
  EXPECT_TRUE(CheckLayoutLibrary(ReadBytes(syswow64 / "kbdus.dll")).empty());

  // What the Windows build wrote: 32-bit images for the 32-bit view, 64-bit
  // ones for the native folder, all sound; Wine's loader loads the 64-bit
  // ones and reaches the same tables as our own loader.
  std::string arguments;
  std::map<std::string, std::string> expected;
  for (const char* file : {"l_kbdus.dll", "o_kbdus.dll", "l_KBD0.dll"}) {
    for (const fs::path& folder : {syswow64, system32}) {
      const std::vector<uint8_t> bytes = ReadBytes(folder / file);
      EXPECT_TRUE(CheckLayoutLibrary(bytes).empty()) << folder / file;
    }
    PeImageLoader loader;
    const std::vector<uint8_t> bytes = ReadBytes(system32 / file);
    const auto handle = loader.LoadFromBytes(bytes);
    ASSERT_TRUE(handle) << file;
    const auto walk = WalkLoadedLibrary(loader, *handle);
    ASSERT_TRUE(walk) << file;
    const std::string path = std::string("C:\\windows\\system32\\") + file;
    expected[path] = walk->dump;
    arguments += " " + Quote(path);
  }
  const ShellRun dumped = Shell(wine + " " + Quote(dump) + arguments);
  ASSERT_EQ(dumped.status, 0) << dumped.out;
  std::map<std::string, std::string> dumps;
  std::string current;
  std::istringstream out(dumped.out);
  for (std::string line; std::getline(out, line);) {
    if (line.rfind("== end", 0) == 0) {
      current.clear();
    } else if (line.rfind("== ", 0) == 0) {
      current = line.substr(3);
    } else if (!current.empty() && line.rfind("base ", 0) != 0) {
      EXPECT_NE(line[0], '!') << current << ": " << line;
      dumps[current] += line + "\n";
    }
  }
  for (const auto& [path, walk] : expected) EXPECT_EQ(dumps[path], walk) << path;

  // Windows was asked to list each layout installed onto that the user's
  // list lacked; as it listed none, the program wrote the keys, starting
  // from Preload.
  auto languageList = [&] {
    IconvCodePages codePages;
    RecordingDialogs dialogs;
    std::string error;
    auto system = OpenSystem(prefix.string(), codePages, dialogs, error);
    EXPECT_TRUE(system) << error;
    return system ? LanguageListOf(*system->registry) : LanguageListState{};
  };
  const LanguageListState listed{{"en-US", "de-DE", "fr-FR"},
                                 {{"de-DE/0407:00000407", "1"}, {"en-US/0409:00000409", "1"}, {"fr-FR/040C:0000040C", "1"}}};
  EXPECT_EQ(languageList(), listed);

  // The layouts it made, removed again by it: a second one made, the first
  // removed (the second moves up in Preload to close the gap), then the
  // second; the offline build sees each step.
  struct Removal {
    std::string args;
    std::vector<std::string> ids;  // the catalogue afterwards
    std::vector<std::string> gone;  // libraries no longer in either folder
    const char* recordCount;
  };
  const Removal removals[] = {
      {"new 1 0407 'My German'", {"00000409", "00000407", "0000040C", "00010407"}, {}, "2"},
      {"remove 2", {"00000409", "00000407", "00010407"}, {"KBD0.dll", "l_KBD0.dll"}, "1"},
      {"remove 2", {"00000409", "00000407"}, {"KBD1.dll"}, "1"},
  };
  for (const Removal& step : removals) {
    SCOPED_TRACE(step.args);
    const auto catalogue = runThenList(step.args);
    ASSERT_TRUE(catalogue);
    ASSERT_EQ(catalogue->size(), step.ids.size());
    for (size_t i = 0; i < step.ids.size(); ++i) EXPECT_EQ(catalogue->at(std::to_string(i))[1], step.ids[i]);
    for (const std::string& file : step.gone) {
      EXPECT_FALSE(fs::exists(syswow64 / file)) << file;
      EXPECT_FALSE(fs::exists(system32 / file)) << file;
    }
    EXPECT_EQ(recorded("Count"), step.recordCount);
  }
  EXPECT_EQ(languageList(), (LanguageListState{{"en-US", "de-DE"}, {{"de-DE/0407:00000407", "1"}, {"en-US/0409:00000409", "1"}}}));
  EXPECT_EQ(ReadHost(prefix / "drive_c" / "inputstub.log"),
            "0409:00000409|0\n040C:0000040C|0\n0407:00010407|0\n040C:0000040C|1\n0407:00010407|1\n");
  EXPECT_EQ(RegisteredLayoutFile(prefix.string(), "0000040C"), "");
  EXPECT_EQ(RegisteredLayoutFile(prefix.string(), "00010407"), "");
  EXPECT_EQ(recorded("0000040C"), "");
  EXPECT_EQ(OfflineProfile(OfflineRoot(prefix)).ReadString("loader.ini", "Created", "00010407", ""), "");
  // The system's own records and files stay.
  EXPECT_EQ(recorded("00000409"), "kbdus.dll");
  EXPECT_TRUE(fs::exists(syswow64 / "KBDGR.DLL"));

  // A removal cut short after its registry pass (the registration and the
  // Preload entry gone, by hand here) is finished by the next action, even
  // one that is refused: the library and the record go.
  ASSERT_TRUE(runThenList("new 1 0409 Cut"));
  const std::string cutKlid = "00010409";
  const std::string cutCopy = OfflineProfile(OfflineRoot(prefix)).ReadString("loader.ini", "Created", cutKlid, "");
  ASSERT_FALSE(cutCopy.empty());
  ASSERT_TRUE(fs::exists(system32 / cutCopy));
  ASSERT_EQ(Shell(wine + " reg delete " + Quote(layouts + cutKlid) + " /f >/dev/null && " + wine +
                  " reg delete " + Quote(R"(HKCU\Keyboard Layout\Preload)") + " /v 3 /f >/dev/null")
                .status,
            0);
  WaitForWineServer(prefix);
  EXPECT_EQ(Shell(windowsProgram + " remove 0").status, 1);
  WaitForWineServer(prefix);
  EXPECT_FALSE(fs::exists(system32 / cutCopy));
  EXPECT_FALSE(fs::exists(syswow64 / cutCopy));
  EXPECT_EQ(OfflineProfile(OfflineRoot(prefix)).ReadString("loader.ini", "Created", cutKlid, ""), "");
}

}  // namespace
}  // namespace tastora::testing
