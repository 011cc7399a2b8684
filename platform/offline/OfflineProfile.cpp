#include "platform/offline/OfflineProfile.h"

#include "platform/IniText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

namespace tastora {
namespace fs = std::filesystem;
namespace {

// The whole file; empty for a file that is not there, nothing for one that
// is there but cannot be read (which a write must not replace).
std::optional<std::string> ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec))) return std::nullopt;
    return std::string();
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return buffer.str();
}

bool ReplaceFile(const fs::path& path, const std::string& text) {
  std::string temp = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  struct stat st {};
  const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  bool ok = ::fchmod(fd, mode) == 0;
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    ok = n > 0;
    if (ok) done += size_t(n);
  }
  // On the disk before it takes the old file's name, so that not even a
  // power cut leaves half of it.
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok && std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace

fs::path OfflineProfile::HostPathOf(const std::string& file) const {
  if (file.find_first_of("\\/") == std::string::npos) return OfflineRoot::Match(root_.WindowsFolder(), file);
  // The program runs as a 32-bit program: its paths are redirected.
  if (auto host = root_.HostPath(file, true)) return *host;
  fs::path host = root_.WindowsFolder();
  size_t from = 0;
  while (from <= file.size()) {
    size_t cut = file.find_first_of("\\/", from);
    if (cut == std::string::npos) cut = file.size();
    if (cut > from) host = OfflineRoot::Match(host, file.substr(from, cut - from));
    from = cut + 1;
  }
  return host;
}

std::string OfflineProfile::ReadString(const std::string& file, const std::string& section, const std::string& key,
                                       const std::string& defaultValue) {
  const std::optional<std::string> text = ReadText(HostPathOf(file));
  if (!text) return defaultValue;
  return FindIniValue(*text, section, key).value_or(defaultValue);
}

std::vector<std::string> OfflineProfile::ReadKeys(const std::string& file, const std::string& section) {
  const std::optional<std::string> text = ReadText(HostPathOf(file));
  return text ? IniKeys(*text, section) : std::vector<std::string>{};
}

bool OfflineProfile::WriteString(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string& value) {
  return WriteKeys(file, section, {{key, value}});
}

bool OfflineProfile::WriteKeys(const std::string& file, const std::string& section,
                               const std::vector<IniChange>& changes) {
  const fs::path path = HostPathOf(file);
  const std::optional<std::string> text = ReadText(path);
  return text && ReplaceFile(path, ChangeIniText(*text, section, changes));
}

}  // namespace tastora
