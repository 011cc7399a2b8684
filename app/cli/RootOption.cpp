#include "app/cli/RootOption.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tastora {

bool TakeRootOption(std::vector<std::string>& args, std::optional<std::string>& root, std::string& error) {
  for (size_t i = 0; i < args.size();) {
    std::optional<std::string> value;
    if (args[i] == "--root") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = "--root needs a folder";
        return false;
      }
      value = args[i + 1];
      args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
    } else if (args[i].rfind("--root=", 0) == 0) {
      value = args[i].substr(7);
      args.erase(args.begin() + long(i));
      if (value->empty()) {
        error = "--root needs a folder";
        return false;
      }
    } else {
      ++i;
      continue;
    }
    if (root) {
      error = "--root is given twice";
      return false;
    }
    root = value;
  }
  return true;
}

void MoveLeadingRootOption(std::vector<std::string>& args) {
  if (args.size() >= 3 && args[0] == "--root") {
    std::vector<std::string> moved(args.begin() + 2, args.end());
    moved.insert(moved.begin() + 1, {args[0], args[1]});
    args = std::move(moved);
  } else if (args.size() >= 2 && args[0].rfind("--root=", 0) == 0) {
    std::rotate(args.begin(), args.begin() + 1, args.begin() + 2);
  }
}

std::string DefaultRootDir() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::filesystem::path base;
  if (data && *data) {
    base = data;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return "";
    base = std::filesystem::path(home) / ".local" / "share";
  }
  return (base / "tastora" / "root").string();
}

std::optional<std::string> ResolveRoot(const std::optional<std::string>& given, std::string& error) {
  if (!PlatformUsesRootFolder()) {
    if (given) {
      error = "--root is for other hosts: on Windows the running system is used";
      return std::nullopt;
    }
    return std::string();
  }
  if (given) return *given;

  const std::string dir = DefaultRootDir();
  if (dir.empty()) {
    error = "no data folder for the default Windows root: set HOME or XDG_DATA_HOME, or give --root";
    return std::nullopt;
  }
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::path(dir) / "system.reg", ec)) return dir;
  if (!InitializeRoot(dir, RootWindows::Windows10, error)) return std::nullopt;
  return dir;
}

}  // namespace tastora
