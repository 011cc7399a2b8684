// The windowed program under Wine, on an X server of the test's own: a
// Windows program (tests/wine/gui/guidriver.cpp) starts TastoraGUI.exe and
// works its windows through window messages, as a user's clicks would; after
// each scenario the offline program reads what it changed in the prefix.
//
// With TASTORA_UPDATE_SCREENSHOTS=1 the scenarios also take the screenshots
// of the help page, DOC/images/*.png.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/offline/OfflineProfile.h"
#include "tests/TestFiles.h"
#include "tests/WineHost.h"

extern char** environ;

namespace tastora::testing {
namespace fs = std::filesystem;

namespace {

// An Xvfb server on a free display, ended with the object.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    int ends[2];
    if (::pipe(ends) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // It picks the display and writes its number to the descriptor.
    std::string fd = std::to_string(ends[1]);
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd, "-screen", "0", "1024x768x24", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    std::string number;
    pollfd ready{ends[0], POLLIN, 0};
    char c = 0;
    while (pid_ > 0 && ::poll(&ready, 1, 15000) > 0 && ::read(ends[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(ends[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  ~VirtualDisplay() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 50; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  // ":N", or empty when no server could be started.
  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

using Catalogue = std::vector<std::vector<std::string>>;  // by position: the position and the ten fields

// The catalogue field of an entry: 1 Id, 7 LayoutText, 9 LayoutFile.
enum Field { kId = 1, kLayoutText = 7, kLayoutFile = 9 };

// What the driver said: the lines it printed, its failed checks, its exit status.
struct DriverRun {
  int status = -1;
  std::string out;
  std::vector<std::string> failures;
  std::vector<int> startups;
};

// A Wine prefix with two layouts of its own, an X server, and the programs
// that work on them.
struct GuiSystem {
  TempDir dir{"tastora-gui"};
  fs::path prefix = dir.path / "prefix";
  fs::path cli, gui, driver;
  std::string display;
  std::optional<fs::path> shots;  // the folder of the screenshots, when taken

  std::string Wine() const { return "DISPLAY=" + display + " " + WineEnvironment(prefix) + "timeout 180 " + kWine64; }

  ShellRun Cli(const std::string& args) const { return RunShell(Quote(cli.string()) + " " + args); }

  DriverRun Drive(const std::vector<std::string>& args) const {
    std::string command = Wine() + " " + Quote(driver.string()) + " " + Quote(args[0]) + " " +
                          Quote(WindowsPath(gui));
    for (size_t i = 1; i < args.size(); ++i) command += " " + Quote(args[i]);
    if (shots) command += " " + Quote("shots=" + WindowsPath(*shots));
    const ShellRun run = RunShell(command);
    WaitForWineServer(prefix);
    DriverRun result{run.status, run.out, {}, {}};
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("check ", 0) == 0 && line.find(" FAIL") != std::string::npos) result.failures.push_back(line);
      if (line.rfind("startup-ms ", 0) == 0) result.startups.push_back(std::stoi(line.substr(11)));
    }
    return result;
  }

  Catalogue List() const {
    const ShellRun listed = Cli("--root " + Quote(prefix.string()) + " list --tsv");
    EXPECT_EQ(listed.status, 0) << listed.err;
    Catalogue entries;
    std::istringstream in(listed.out);
    for (std::string line; std::getline(in, line);) {
      std::vector<std::string> fields;
      std::istringstream split(line);
      for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
      fields.resize(11);
      entries.push_back(fields);
    }
    return entries;
  }

  std::string Setting(const char* section, const char* key) const {
    return OfflineProfile(OfflineRoot(prefix)).ReadString("loader.ini", section, key, "(none)");
  }
};

// A data file whose keys 2 and 3 (the digits 1 and 2) share the virtual key of "1".
std::string DuplicateKeys(const std::string& layout) {
  std::string markup = layout;
  const std::string key = "<KEY SCAN=\"03\" VK=\"0032\">";
  const size_t at = markup.find(key);
  if (at != std::string::npos) markup.replace(at, key.size(), "<KEY SCAN=\"03\" VK=\"0031\">");
  return markup;
}

// What a scenario left: the catalogue before and after it, the driver's lines.
struct Outcome {
  Catalogue before, after;
  std::string out;
};

// One scenario: the driver's arguments (the scenario and its keys), what the
// prefix must show afterwards, and what to do first (false: stop).
struct Scenario {
  std::string name;
  std::vector<std::string> args;
  std::function<void(const GuiSystem&, const Outcome&)> check;
  std::function<bool(GuiSystem&)> before = nullptr;
};

// The entry at `position` uses `file`; the driver said `said`.
auto LayoutFile(size_t position, const std::string& file, const std::string& said = "") {
  return [=](const GuiSystem&, const Outcome& outcome) {
    EXPECT_EQ(outcome.after.size() > position ? outcome.after[position][kLayoutFile] : "(no entry)", file);
    EXPECT_NE(outcome.out.find(said), std::string::npos) << outcome.out;
  };
}

// One entry more, the last: `id`, named `text`, its file name beginning with `file`.
auto Added(const std::string& id, const std::string& text, const std::string& file) {
  return [=](const GuiSystem&, const Outcome& outcome) {
    ASSERT_EQ(outcome.after.size(), outcome.before.size() + 1);
    const std::vector<std::string>& entry = outcome.after.back();
    EXPECT_EQ(entry[kId], id);
    EXPECT_EQ(entry[kLayoutText], text);
    EXPECT_EQ(entry[kLayoutFile].substr(0, file.size()), file);
  };
}

TEST(WineGui, TheWindowsInstallCreateRestoreRemoveAndTheCommandLineEnds) {
  GuiSystem system;
  const auto cli = HostCli();
  const auto gui =
      Existing("TASTORA_WIN64_GUI_EXE", fs::path(TASTORA_SOURCE_DIR) / "build" / "mingw-x86_64" / "TastoraGUI.exe");
  const std::string driver = TASTORA_GUI_DRIVER;
  if (!cli) GTEST_SKIP() << "the tastora program is not built";
  if (!gui) GTEST_SKIP() << "no 64-bit windowed build (cmake --preset mingw-x86_64, or set TASTORA_WIN64_GUI_EXE)";
  if (driver.empty() || !fs::exists(driver)) GTEST_SKIP() << "no MinGW x86_64 C++ compiler for the GUI driver";
  const auto shared = SharedWinePrefix();
  if (!shared) GTEST_SKIP() << "Wine (" << kWine64 << ") is not installed";
  const VirtualDisplay screen;
  if (screen.Name().empty()) GTEST_SKIP() << "no X server (Xvfb) could be started";
  system.cli = *cli;
  system.gui = *gui;
  system.driver = driver;
  system.display = screen.Name();
  const char* update = std::getenv("TASTORA_UPDATE_SCREENSHOTS");
  if (update && std::string(update) == "1") {
    system.shots = system.dir.path / "shots";
    fs::create_directories(*system.shots);
  }

  // A private prefix: the system's files linked, the registry copied.
  const fs::path& prefix = system.prefix;
  const PrivateWinePrefix copy(*shared, prefix);
  ASSERT_TRUE(copy.Made());

  // The system's own US and German libraries, registered and preloaded; a
  // Windows version without the Vista notice; windows that Wine frames and
  // places itself, as there is no window manager (Wine would wait for one
  // at every window that closes).
  const fs::path windows = prefix / "drive_c" / "windows";
  const std::string us = system.dir / "us.vyr2000";
  ASSERT_EQ(system.Cli("export --us -o " + Quote(us)).status, 0);
  const std::string examples = std::string(TASTORA_SOURCE_DIR) + "/examples/";
  const std::string germanSource = examples + "german.vyr2000";
  for (const auto& [source, file] : {std::pair{us, "kbdus.dll"}, std::pair{germanSource, "KBDGR.DLL"}}) {
    const ShellRun built = system.Cli("build " + Quote(source) + " -o " + Quote((windows / "syswow64" / file).string()) +
                                      " --x64 " + Quote((windows / "system32" / file).string()));
    ASSERT_EQ(built.status, 0) << built.err;
  }
  const std::string layouts = R"([HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Keyboard Layouts\)";
  WriteHost(system.dir / "setup.reg",
            "Windows Registry Editor Version 5.00\r\n\r\n" + layouts +
                "00000409]\r\n\"Layout File\"=\"kbdus.dll\"\r\n\"Layout Text\"=\"US\"\r\n\r\n" + layouts +
                "00000407]\r\n\"Layout File\"=\"KBDGR.DLL\"\r\n\"Layout Text\"=\"German\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Keyboard Layout\\Preload]\r\n\"1\"=\"00000409\"\r\n\"2\"=\"00000407\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Wine]\r\n\"Version\"=\"win10\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n\"Decorated\"=\"N\"\r\n\"Managed\"=\"N\"\r\n");
  const ShellRun imported = RunShell(system.Wine() + " reg import " + Quote(WindowsPath(system.dir / "setup.reg")));
  ASSERT_EQ(imported.status, 0) << imported.out << imported.err;
  // Screenshots in the fonts of Wine's own, when they are installed.
  if (system.shots)
    for (const char* font : {"marlett.ttf", "tahoma.ttf", "tahomabd.ttf"}) {
      std::error_code ec;
      fs::copy_file(fs::path("/usr/share/wine/fonts") / font, windows / "Fonts" / font, ec);
    }
  WaitForWineServer(prefix);
  ASSERT_EQ(system.List().size(), 2u);

  // The data files: one with two keys on one virtual key, one that is no layout.
  const std::string duplicate = system.dir / "duplicate.vyr2000";
  const std::string german = ReadHost(germanSource);
  WriteHost(duplicate, DuplicateKeys(german));
  ASSERT_NE(ReadHost(duplicate), german);
  const std::string bad = system.dir / "bad.vyr2000";
  WriteHost(bad, "This is no layout.\n");
  const std::string demo = WindowsPath(examples + "tastora-demo.vyr2000");
  const std::string french = WindowsPath(examples + "french.vyr2000");

  const Scenario scenarios[] = {
      {"the main window, its list, its pages; Close saves the settings",
       {"window", "rows=2", "fontsize=12"},
       [](const GuiSystem& s, const Outcome&) {
         EXPECT_EQ(s.Setting("FontSection", "Height"), "-12");
         EXPECT_EQ(s.Setting("WindowSection", "ShowMessages"), "0");
         EXPECT_EQ(s.Setting("WindowSection", "v1"), "1");
       }},
      {"Edit installs a data file", {"edit", "row=0", "file=" + demo}, LayoutFile(0, "l_kbdus.dll")},
      {"a double-click installs again, under the other name",
       {"edit", "row=0", "via=dblclick", "file=" + french},
       LayoutFile(0, "o_kbdus.dll")},
      {"Restore, confirmed", {"restore", "row=0"}, LayoutFile(0, "kbdus.dll")},
      {"the duplicate-key report answered No installs nothing",
       {"duplicate", "row=1", "answer=no", "file=" + WindowsPath(duplicate)},
       LayoutFile(1, "KBDGR.DLL", "Virtual Key: VK_1 0x31")},
      {"Enter in the list, the duplicate-key report answered Yes: installed",
       {"duplicate", "row=1", "answer=yes", "via=enter", "file=" + WindowsPath(duplicate)},
       LayoutFile(1, "l_KBDGR.DLL", "Virtual Key: VK_1 0x31")},
      {"New makes a layout", {"new", "rows=2", "name=My French", "lang=040C"}, Added("0000040C", "My French", "KBD")},
      {"a second start brings the first window to the front and ends", {"second"}, nullptr},
      {"two arguments install", {"cmdline", "status=0", "args=0 " + french}, LayoutFile(0, "l_kbdus.dll")},
      {"four arguments create and install, beside an open window",
       {"cmdline", "status=0", "window=1", "args=1 " + french + " 0407 \"My German\""},
       Added("00010407", "My German", "l_KBD")},
      {"Remove takes a layout it made away", {"remove", "row=2"},
       [](const GuiSystem&, const Outcome& outcome) {
         ASSERT_EQ(outcome.after.size() + 1, outcome.before.size());
         for (const auto& entry : outcome.after) EXPECT_NE(entry[kId], "0000040C");
       }},
      {"a file that is no layout fails", {"cmdline", "status=1", "args=0 " + WindowsPath(bad)},
       LayoutFile(0, "l_kbdus.dll")},
      {"the duplicate-key report answered No cancels",
       {"cmdline", "status=3", "answer=no", "args=0 " + WindowsPath(duplicate)},
       LayoutFile(0, "l_kbdus.dll")},
      {"a position that is no number is refused", {"cmdline", "status=2", "args=first " + french},
       LayoutFile(0, "l_kbdus.dll")},
      {"on Windows 7 the Vista notice comes first; \"Don't show again\" is kept",
       {"vista", "dontshow=1"},
       [](const GuiSystem& s, const Outcome&) { EXPECT_EQ(s.Setting("Settings", "VistaWarning"), "0"); },
       [](GuiSystem& s) {
         const ShellRun set = RunShell(s.Wine() + R"( reg add 'HKCU\Software\Wine' /v Version /d win7 /f)");
         WaitForWineServer(s.prefix);
         EXPECT_EQ(set.status, 0) << set.out;
         EXPECT_NE(s.Setting("Settings", "VistaWarning"), "0");
         return set.status == 0;
       }},
  };

  std::vector<int> startups;
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    if (scenario.before && !scenario.before(system)) return;
    Outcome outcome;
    outcome.before = system.List();
    const DriverRun run = system.Drive(scenario.args);
    startups.insert(startups.end(), run.startups.begin(), run.startups.end());
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(run.failures.empty()) << run.out;
    outcome.after = system.List();
    outcome.out = run.out;
    if (scenario.check) scenario.check(system, outcome);
  }

  if (!startups.empty()) {
    std::sort(startups.begin(), startups.end());
    std::cout << "Start to the first painted main window: median " << startups[startups.size() / 2] << " ms of "
              << startups.size() << " starts (" << startups.front() << " to " << startups.back() << " ms)\n";
  }
  if (system.shots) {
    const fs::path images = fs::path(TASTORA_SOURCE_DIR) / "DOC" / "images";
    fs::create_directories(images);
    std::string pairs;
    for (const char* name : {"main-keyboards", "main-options", "main-about", "load-layout", "new-keyboard",
                             "error-in-layout", "vista-notice"}) {
      const fs::path shot = *system.shots / (std::string(name) + ".bmp");
      EXPECT_TRUE(fs::exists(shot)) << shot;
      if (fs::exists(shot))
        pairs += " " + Quote(shot.string()) + " " + Quote((images / (std::string(name) + ".png")).string());
    }
    const std::string convert = "python3 " + Quote(std::string(TASTORA_SOURCE_DIR) + "/tests/wine/gui/bmp2png.py");
    const ShellRun converted = pairs.empty() ? ShellRun{0, "", ""} : RunShell(convert + pairs);
    EXPECT_EQ(converted.status, 0) << converted.err;
  }
}

}  // namespace
}  // namespace tastora::testing
