#include "platform/offline/OfflineRoot.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/RegistryBackend.h"
#include "platform/offline/WineRegistryFile.h"

namespace tastora {
namespace fs = std::filesystem;
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IsDirectory(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

bool WriteNewFile(const fs::path& path, const std::string& text, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    error = "could not write " + path.string();
    return false;
  }
  return true;
}

std::u16string Ascii16(std::string_view text) { return std::u16string(text.begin(), text.end()); }

struct WineVersionName {
  std::string_view name;
  WindowsVersion version;
};

constexpr WineVersionName kWineVersions[] = {
    {"win11", {kPlatformWin32Nt, 10, 0, 22631}},  {"win10", {kPlatformWin32Nt, 10, 0, 19045}},
    {"win81", {kPlatformWin32Nt, 6, 3, 9600}},
    {"win8", {kPlatformWin32Nt, 6, 2, 9200}},     {"win7", {kPlatformWin32Nt, 6, 1, 7601}},
    {"win2008r2", {kPlatformWin32Nt, 6, 1, 7601}}, {"win2008", {kPlatformWin32Nt, 6, 0, 6002}},
    {"vista", {kPlatformWin32Nt, 6, 0, 6002}},    {"win2003", {kPlatformWin32Nt, 5, 2, 3790}},
    {"winxp64", {kPlatformWin32Nt, 5, 2, 3790}},  {"winxp", {kPlatformWin32Nt, 5, 1, 2600}},
    {"win2k", {kPlatformWin32Nt, 5, 0, 2195}},    {"nt40", {kPlatformWin32Nt, 4, 0, 1381}},
    {"winme", {kPlatformWin32Windows, 4, 90, 3000}}, {"win98", {kPlatformWin32Windows, 4, 10, 2222}},
    {"win95", {kPlatformWin32Windows, 4, 0, 950}},
};

}  // namespace

fs::path OfflineRoot::Match(const fs::path& folder, std::string_view name) {
  std::error_code ec;
  if (fs::exists(folder / std::string(name), ec)) return folder / std::string(name);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (SameText(entry, name)) return it->path();
  }
  return folder / std::string(name);
}

fs::path OfflineRoot::WindowsFolder() const { return Match(Match(dir_, "drive_c"), "windows"); }

bool OfflineRoot::IsRoot() const {
  std::error_code ec;
  return fs::is_regular_file(MachineRegistryFile(), ec) && fs::is_regular_file(UserRegistryFile(), ec) &&
         IsDirectory(WindowsFolder());
}

bool OfflineRoot::Is64Bit() const { return IsDirectory(Match(WindowsFolder(), "syswow64")); }

std::optional<fs::path> OfflineRoot::HostPath(std::string_view windowsPath, bool redirected) const {
  if (windowsPath.size() < 2 || windowsPath[1] != ':') return std::nullopt;
  const char drive = Lower(windowsPath[0]);
  if (drive < 'a' || drive > 'z') return std::nullopt;
  fs::path base;
  if (drive == 'c') {
    base = Match(dir_, "drive_c");
  } else {
    base = dir_ / "dosdevices" / std::string{drive, ':'};
    if (!IsDirectory(base)) return std::nullopt;
  }

  std::vector<std::string> parts;
  size_t from = 2;
  while (from <= windowsPath.size()) {
    size_t cut = windowsPath.find_first_of("\\/", from);
    if (cut == std::string_view::npos) cut = windowsPath.size();
    const std::string_view part = windowsPath.substr(from, cut - from);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.emplace_back(part);
    }
    from = cut + 1;
  }

  // The system folder seen by a 32-bit program on 64-bit Windows.
  if (parts.size() >= 2 && SameText(parts[0], "windows") && Is64Bit()) {
    if (redirected && SameText(parts[1], "system32")) parts[1] = "syswow64";
    else if (redirected && SameText(parts[1], "sysnative")) parts[1] = "system32";
  }

  fs::path host = base;
  for (const std::string& part : parts) host = Match(host, part);
  return host;
}

bool OfflineRoot::Create(const fs::path& dir, RootWindows windows, std::string& error) {
  const OfflineRoot root(dir);
  std::error_code ec;
  if (fs::exists(root.MachineRegistryFile(), ec) || fs::exists(root.UserRegistryFile(), ec)) {
    error = dir.string() + " already holds registry files";
    return false;
  }
  const bool win64 = Is64BitWindows(windows);
  const bool family9x = IsFamily9x(windows);
  const fs::path windowsFolder = dir / "drive_c" / "windows";
  std::vector<fs::path> folders{windowsFolder / (family9x ? "system" : "system32")};
  if (win64) folders.push_back(windowsFolder / "syswow64");
  for (const fs::path& folder : folders) {
    fs::create_directories(folder, ec);
    if (ec) {
      error = "could not create " + folder.string() + ": " + ec.message();
      return false;
    }
  }

  // The version goes where Wine keeps it.
  std::string userText = WineRegistryFile::EmptyText("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", win64);
  WineRegistryFile::Error parseError;
  auto user = WineRegistryFile::Parse(userText, parseError);
  if (!user) {
    error = "internal error: " + parseError.reason;
    return false;
  }
  const std::string_view name = WineNameOf(windows);
  WineRegistryFile::Value version{Ascii16(kWineVersionValue), kRegSz, {}};
  for (char c : name) {
    version.data.push_back(uint8_t(c));
    version.data.push_back(0);
  }
  version.data.insert(version.data.end(), {0, 0});
  user->SetValue(*user->Create({u"Software", u"Wine"}), std::move(version));  // kWineVersionKey
  const uint64_t now = uint64_t(std::chrono::duration_cast<std::chrono::seconds>(
                                    std::chrono::system_clock::now().time_since_epoch()).count() + 11644473600ll) *
                       10000000ull;
  return WriteNewFile(root.MachineRegistryFile(), WineRegistryFile::EmptyText("REGISTRY\\\\Machine", win64), error) &&
         WriteNewFile(root.UserRegistryFile(), user->Serialize(now), error);
}

WindowsVersion VersionOfWineName(std::string_view name) {
  for (const WineVersionName& known : kWineVersions)
    if (SameText(known.name, name)) return known.version;
  return WindowsVersion{};
}

std::string_view WineNameOf(RootWindows windows) {
  switch (windows) {
    case RootWindows::WindowsXp: return "winxp";
    case RootWindows::Windows98: return "win98";
    case RootWindows::Windows95: return "win95";
    case RootWindows::Windows81: return "win81";
    case RootWindows::Windows11:
    case RootWindows::Windows11Arm64: return "win11";
    case RootWindows::Windows10: break;
  }
  return "win10";
}

std::string SystemDirectoryOf(const WindowsVersion& version) {
  return version.platformId == kPlatformWin32Nt ? "C:\\windows\\system32" : "C:\\windows\\system";
}

}  // namespace tastora
