#include "platform/offline/OfflineProfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace tastora {
namespace fs = std::filesystem;
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto x = char(a[i] >= 'A' && a[i] <= 'Z' ? a[i] + 32 : a[i]);
    const auto y = char(b[i] >= 'A' && b[i] <= 'Z' ? b[i] + 32 : b[i]);
    if (x != y) return false;
  }
  return true;
}

// One line of an INI file, as the profile functions see it.
struct IniLine {
  enum class Kind { Other, Section, Entry } kind = Kind::Other;
  std::string_view name;   // section name or key
  std::string_view value;  // entry value, blanks and one pair of quotes removed
};

IniLine Classify(std::string_view raw) {
  const std::string_view line = Trim(raw);
  IniLine out;
  if (line.empty() || line.front() == ';') return out;
  if (line.front() == '[') {
    const size_t close = line.rfind(']');
    out.kind = IniLine::Kind::Section;
    out.name = Trim(line.substr(1, close == 0 || close == std::string_view::npos ? std::string_view::npos : close - 1));
    return out;
  }
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return out;
  out.kind = IniLine::Kind::Entry;
  out.name = Trim(line.substr(0, eq));
  out.value = Trim(line.substr(eq + 1));
  if (out.value.size() >= 2 && (out.value.front() == '"' || out.value.front() == '\'') &&
      out.value.back() == out.value.front())
    out.value = out.value.substr(1, out.value.size() - 2);
  return out;
}

std::vector<std::string> ReadLines(const fs::path& path, bool& exists) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  exists = bool(in);
  if (!exists) return lines;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    const size_t stop = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, stop - start));
    start = stop;
  }
  return lines;
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
  bool exists = false;
  const std::vector<std::string> lines = ReadLines(HostPathOf(file), exists);
  bool inSection = false;
  for (const std::string& raw : lines) {
    const IniLine line = Classify(raw);
    if (line.kind == IniLine::Kind::Section) inSection = SameText(line.name, section);
    else if (inSection && line.kind == IniLine::Kind::Entry && SameText(line.name, key)) return std::string(line.value);
  }
  return defaultValue;
}

bool OfflineProfile::WriteString(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string& value) {
  const fs::path path = HostPathOf(file);
  bool exists = false;
  std::vector<std::string> lines = ReadLines(path, exists);
  // New lines follow the file's own line ends; a new file gets Windows ones.
  const std::string lineEnd =
      (lines.empty() || (lines[0].size() >= 2 && lines[0][lines[0].size() - 2] == '\r')) ? "\r\n" : "\n";

  std::optional<size_t> sectionAt;
  std::optional<size_t> lastInSection;
  bool inSection = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const IniLine line = Classify(lines[i]);
    if (line.kind == IniLine::Kind::Section) {
      inSection = SameText(line.name, section);
      if (inSection && !sectionAt) {
        sectionAt = i;
        lastInSection = i;
      }
      continue;
    }
    if (!inSection) continue;
    if (line.kind == IniLine::Kind::Entry && SameText(line.name, key)) {
      const std::string_view raw = lines[i];
      const std::string_view end = raw.substr(raw.find_last_not_of("\r\n") + 1);
      const std::string_view indent = raw.substr(0, raw.find_first_not_of(" \t"));
      lines[i] = std::string(indent) + std::string(line.name) + "=" + value + std::string(end);
      inSection = false;
      sectionAt = i;
      lastInSection.reset();
      break;
    }
    if (Trim(lines[i]).size() > 0 && lastInSection) lastInSection = i;
  }

  if (lastInSection) {
    // A new key at the end of its section, before the blank lines that follow it.
    std::string& before = lines[*lastInSection];
    if (before.empty() || before.back() != '\n') before += lineEnd;
    lines.insert(lines.begin() + long(*lastInSection) + 1, key + "=" + value + lineEnd);
  } else if (!sectionAt) {
    if (!lines.empty() && lines.back().back() != '\n') lines.back() += lineEnd;
    if (!lines.empty()) lines.push_back(lineEnd);
    lines.push_back("[" + section + "]" + lineEnd);
    lines.push_back(key + "=" + value + lineEnd);
  }

  std::string text;
  for (const std::string& line : lines) text += line;
  return ReplaceFile(path, text);
}

}  // namespace tastora
