#pragma once
// Windows programs under Wine in the tests: one prefix made by wineboot per
// machine, shared by every test, and private copies of it that a test may
// change.

#include <filesystem>
#include <optional>
#include <string>

#include "tests/TestFiles.h"

namespace tastora::testing {

inline constexpr char kWine64[] = "/usr/lib/wine/wine64";
inline constexpr char kWineServer[] = "/usr/lib/wine/wineserver";

// The environment a wine command runs in, as a shell prefix.
std::string WineEnvironment(const std::filesystem::path& prefix);
// Waits until the prefix's wine server has written the registry files and ended.
void WaitForWineServer(const std::filesystem::path& prefix);
// The shared prefix; nothing when Wine is not installed or wineboot failed.
std::optional<std::filesystem::path> SharedWinePrefix();

// A copy of the shared prefix at `path`: the system's files linked, the
// files Wine and we write copied. However the test ends, no wine server
// outlives it.
class PrivateWinePrefix {
 public:
  PrivateWinePrefix(const std::filesystem::path& shared, std::filesystem::path path);
  ~PrivateWinePrefix();
  PrivateWinePrefix(const PrivateWinePrefix&) = delete;
  PrivateWinePrefix& operator=(const PrivateWinePrefix&) = delete;
  bool Made() const { return made_; }

 private:
  std::filesystem::path path_;
  bool made_ = false;
};

// Output and error together, as a Windows program's console shows them.
ShellRun Shell(const std::string& command);
// The file an environment variable names, else `fallback`; nothing when it does not exist.
std::optional<std::filesystem::path> Existing(const char* environment, const std::filesystem::path& fallback);
// The command-line program of this build, beside the test program's folder
// unless TASTORA_CLI names another.
std::optional<std::filesystem::path> HostCli();
// A host path as Wine's drive Z: shows it.
std::string WindowsPath(const std::filesystem::path& path);

}  // namespace tastora::testing
