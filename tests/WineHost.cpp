#include "tests/WineHost.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace tastora::testing {
namespace fs = std::filesystem;

std::string WineEnvironment(const fs::path& prefix) {
  return "WINEPREFIX=" + Quote(prefix.string()) + " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' ";
}

void WaitForWineServer(const fs::path& prefix) {
  RunShell(WineEnvironment(prefix) + "timeout 60 " + kWineServer + " -w");
}

std::optional<fs::path> SharedWinePrefix() {
  static const std::optional<fs::path> prefix = []() -> std::optional<fs::path> {
    if (!fs::exists(kWine64)) return std::nullopt;
    const fs::path dir = fs::temp_directory_path() / ("tastora-wine-" + std::to_string(::getuid()));
    std::error_code ec;
    fs::create_directories(dir, ec);
    // Test processes run side by side: the first one makes the prefix, the others wait for it.
    const int lock = ::open((dir / "lock").c_str(), O_CREAT | O_RDWR, 0600);
    if (lock < 0) return std::nullopt;
    ::flock(lock, LOCK_EX);
    const fs::path made = dir / "prefix";
    const fs::path ready = dir / "ready";
    if (!fs::exists(ready)) {
      fs::remove_all(made, ec);
      const ShellRun boot = RunShell(WineEnvironment(made) + "timeout 300 " + kWine64 + " wineboot --init");
      WaitForWineServer(made);
      if (boot.status == 0 && fs::exists(made / "system.reg") && fs::exists(made / "user.reg"))
        std::ofstream(ready) << "made by wineboot\n";
    }
    const bool ok = fs::exists(ready);
    ::flock(lock, LOCK_UN);
    ::close(lock);
    return ok ? std::optional<fs::path>(made) : std::nullopt;
  }();
  return prefix;
}

PrivateWinePrefix::PrivateWinePrefix(const fs::path& shared, fs::path path) : path_(std::move(path)) {
  if (RunShell("cp -al " + Quote(shared.string()) + " " + Quote(path_.string())).status != 0) return;
  for (const char* name : {"system.reg", "user.reg", "userdef.reg", ".update-timestamp"}) {
    std::error_code ec;
    fs::remove(path_ / name, ec);
    fs::copy_file(shared / name, path_ / name, ec);
  }
  made_ = true;
}

PrivateWinePrefix::~PrivateWinePrefix() { RunShell(WineEnvironment(path_) + "timeout 60 " + kWineServer + " -k"); }

ShellRun Shell(const std::string& command) {
  ShellRun run = RunShell(command + " 2>&1");
  std::erase(run.out, '\r');
  return run;
}

std::optional<fs::path> Existing(const char* environment, const fs::path& fallback) {
  const char* value = std::getenv(environment);
  const fs::path path = value && *value ? fs::path(value) : fallback;
  return fs::exists(path) ? std::optional<fs::path>(path) : std::nullopt;
}

std::optional<fs::path> HostCli() {
  return Existing("TASTORA_CLI", fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tastora");
}

std::string WindowsPath(const fs::path& path) {
  std::string w = "Z:" + path.string();
  std::replace(w.begin(), w.end(), '/', '\\');
  return w;
}

}  // namespace tastora::testing
