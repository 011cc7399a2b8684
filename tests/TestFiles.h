#pragma once
// Host files for the tests: a temporary folder removed with everything in it,
// a whole file's bytes read or written, a path quoted for the shell, and the
// example layouts.

#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace tastora::testing {

struct TempDir {
  explicit TempDir(const char* prefix = "tastora") {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    path = ::mkdtemp(pattern.data());
  }
  ~TempDir() {
    // Tests make files read-only on purpose; the folder must go all the same.
    std::error_code ec;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string operator/(const std::string& name) const { return (path / name).string(); }

  std::filesystem::path path;
};

// `text` as one word of a shell command line.
inline std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The whole file's bytes; empty when it cannot be read.
inline std::string ReadHost(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Creates or replaces the file with `bytes`.
inline void WriteHost(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

struct ShellRun {
  int status = -1;  // the exit status, or -1 when the command did not exit
  std::string out;
  std::string err;
};

// Runs `command` in the shell with no input, its standard output and error
// kept apart (the command may send its output elsewhere itself).
inline ShellRun RunShell(const std::string& command) {
  const TempDir scratch("tastora-shell");
  const std::string out = scratch / "stdout", err = scratch / "stderr";
  const int raw = std::system(("(" + command + ") >" + Quote(out) + " 2>" + Quote(err) + " </dev/null").c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadHost(out), ReadHost(err)};
}

// The example data files (examples/*.vyr2000), sorted by name.
inline std::vector<std::string> ExampleFiles() {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(TASTORA_SOURCE_DIR) + "/examples"))
    if (entry.path().extension() == ".vyr2000") paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace tastora::testing
