#include "app/cli/RootOption.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tastora {

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
