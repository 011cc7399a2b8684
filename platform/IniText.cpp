#include "platform/IniText.h"

namespace tastora {
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

// The lines of `text`, each with its own line end.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    const size_t stop = end == std::string_view::npos ? text.size() : end + 1;
    lines.emplace_back(text.substr(start, stop - start));
    start = stop;
  }
  return lines;
}

}  // namespace

std::vector<std::string> IniKeys(std::string_view text, std::string_view section) {
  std::vector<std::string> keys;
  bool inSection = false;
  for (const std::string& raw : SplitLines(text)) {
    const IniLine line = Classify(raw);
    if (line.kind == IniLine::Kind::Section) inSection = SameText(line.name, section);
    else if (inSection && line.kind == IniLine::Kind::Entry) keys.emplace_back(line.name);
  }
  return keys;
}

namespace {

// The section whose line `at` was removed goes too when nothing is left in
// it, so that taking back every key of a new section gives the old text.
void DropIfEmpty(std::vector<std::string>& lines, size_t at) {
  size_t header = at;
  while (header > 0 && Classify(lines[header - 1]).kind != IniLine::Kind::Section) --header;
  if (header == 0) return;
  --header;
  size_t end = header + 1;
  for (; end < lines.size() && Classify(lines[end]).kind != IniLine::Kind::Section; ++end)
    if (!Trim(lines[end]).empty()) return;
  // The blank line that set it apart from the section before, when it was the last.
  size_t from = header;
  if (end == lines.size() && from > 0 && Trim(lines[from - 1]).empty()) --from;
  lines.erase(lines.begin() + long(from), lines.begin() + long(end));
}

// One key set or removed in the lines of a file.
void Change(std::vector<std::string>& lines, std::string_view section, const std::string& key,
            const std::optional<std::string>& value, const std::string& lineEnd) {
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
      if (!value) {
        lines.erase(lines.begin() + long(i));
        DropIfEmpty(lines, i);
        return;
      }
      const std::string_view raw = lines[i];
      const std::string_view end = raw.substr(raw.find_last_not_of("\r\n") + 1);
      const std::string_view indent = raw.substr(0, raw.find_first_not_of(" \t"));
      lines[i] = std::string(indent) + std::string(line.name) + "=" + *value + std::string(end);
      return;
    }
    if (Trim(lines[i]).size() > 0 && lastInSection) lastInSection = i;
  }
  if (!value) return;

  if (lastInSection) {
    // A new key at the end of its section, before the blank lines that follow it.
    std::string& before = lines[*lastInSection];
    if (before.empty() || before.back() != '\n') before += lineEnd;
    lines.insert(lines.begin() + long(*lastInSection) + 1, key + "=" + *value + lineEnd);
    return;
  }
  if (!lines.empty() && lines.back().back() != '\n') lines.back() += lineEnd;
  if (!lines.empty()) lines.push_back(lineEnd);
  lines.push_back("[" + std::string(section) + "]" + lineEnd);
  lines.push_back(key + "=" + *value + lineEnd);
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key) {
  bool inSection = false;
  for (const std::string& raw : SplitLines(text)) {
    const IniLine line = Classify(raw);
    if (line.kind == IniLine::Kind::Section) inSection = SameText(line.name, section);
    else if (inSection && line.kind == IniLine::Kind::Entry && SameText(line.name, key)) return std::string(line.value);
  }
  return std::nullopt;
}

std::string ChangeIniText(std::string_view text, std::string_view section, const std::vector<IniChange>& changes) {
  std::vector<std::string> lines = SplitLines(text);
  const std::string lineEnd =
      (lines.empty() || (lines[0].size() >= 2 && lines[0][lines[0].size() - 2] == '\r')) ? "\r\n" : "\n";
  for (const auto& [key, value] : changes) Change(lines, section, key, value, lineEnd);
  std::string out;
  for (const std::string& line : lines) out += line;
  return out;
}

}  // namespace tastora
