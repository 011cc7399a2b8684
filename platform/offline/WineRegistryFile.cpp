#include "platform/offline/WineRegistryFile.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/RegistryBackend.h"
#include "platform/offline/WineRegistryText.h"

namespace tastora {
namespace {

using Key = WineRegistryFile::Key;
using Block = WineRegistryFile::Block;
using Value = WineRegistryFile::Value;

constexpr std::string_view kSignature = "WINE REGISTRY Version 2";
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kTicks1601To1970 = 11644473600ull * kTicksPerSecond;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The line without its line end.
std::string_view Content(std::string_view raw) {
  if (!raw.empty() && raw.back() == '\n') {
    raw.remove_suffix(1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
  }
  return raw;
}

std::string_view LineEnd(std::string_view raw) { return raw.substr(Content(raw).size()); }

size_t SkipSpaces(std::string_view s, size_t i) {
  while (i < s.size() && IsSpace(s[i])) ++i;
  return i;
}

std::vector<uint8_t> StringData(const std::u16string& text) {
  std::vector<uint8_t> data;
  data.reserve(text.size() * 2 + 2);
  for (char16_t c : text) {
    data.push_back(uint8_t(c & 0xFF));
    data.push_back(uint8_t(c >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

std::vector<std::u16string> PathOf(const Key* key) {
  std::vector<std::u16string> path;
  for (; key && key->parent; key = key->parent) path.push_back(key->name);
  std::reverse(path.begin(), path.end());
  return path;
}

int ComparePaths(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int c = winereg::CompareNames(a[i], b[i]);
    if (c != 0) return c;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string EscapedPath(const Key* key) {
  std::string out;
  for (const std::u16string& part : PathOf(key)) {
    if (!out.empty()) out += "\\\\";
    out += winereg::Escape(part, '[', ']');
  }
  return out;
}

// " seconds" after a key's closing bracket: seconds since 1970.
std::string HeaderTime(uint64_t now) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, " %u", unsigned((now - kTicks1601To1970) / kTicksPerSecond));
  return buffer;
}

// The key's "#time=" option: the full file time.
std::string TimeOption(uint64_t now) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "#time=%x%08x", unsigned(now >> 32), unsigned(now & 0xFFFFFFFFu));
  return buffer;
}

// Text before a new key: a blank line after whatever came before it.
void SeparateBlock(std::string& out) {
  if (out.empty()) return;
  if (out.back() != '\n') out += '\n';
  if (out.size() < 2 || out[out.size() - 2] != '\n') out += '\n';
}

bool NeedsNewBlock(const Key& key) {
  if (key.block) return false;
  const bool touched = key.created || std::any_of(key.values.begin(), key.values.end(),
                                                  [](const auto& slot) { return slot.changed; });
  // Wine writes a key when it has values or no subkeys; parents only through their children.
  return touched && (!key.values.empty() || key.subkeys.empty());
}

// Keys read from the file, parents named only through their children included.
void MarkAsRead(Key& key) {
  key.created = false;
  for (auto& sub : key.subkeys) MarkAsRead(*sub);
}

void CollectNewBlocks(const Key& key, std::vector<const Key*>& out) {
  if (NeedsNewBlock(key)) out.push_back(&key);
  for (const auto& sub : key.subkeys) CollectNewBlocks(*sub, out);
}

// Parsing state of one file.
struct Parser {
  std::vector<std::string_view> raw;  // lines with their line ends
  size_t next = 0;                    // index of the next raw line
  WineRegistryFile::Error* error = nullptr;

  bool Fail(size_t lineIndex, const char* reason) {
    error->line = int(lineIndex + 1);
    error->reason = reason;
    return false;
  }
};

// Data of a value: `text` starts just after the "=". Continuation lines of
// hexadecimal data are taken from `parser`; `lines` counts them.
bool ParseValueData(std::string_view text, Parser& parser, size_t lineIndex, Value& value, size_t& lines) {
  struct Tag {
    std::string_view text;
    uint32_t type;
    bool isString;
  };
  static constexpr Tag kTags[] = {
      {"\"", kRegSz, true},       {"str:\"", kRegSz, true},  {"str(2):\"", kRegExpandSz, true},
      {"str(7):\"", kRegMultiSz, true}, {"hex:", kRegBinary, false}, {"dword:", kRegDword, false},
  };
  const Tag* tag = nullptr;
  for (const Tag& t : kTags)
    if (text.substr(0, t.text.size()) == t.text) {
      tag = &t;
      break;
    }
  size_t pos;
  bool hex;
  if (tag) {
    value.type = tag->type;
    pos = tag->text.size();
    hex = tag->type == kRegBinary;
  } else if (text.substr(0, 4) == "hex(") {
    size_t i = 4;
    uint64_t type = 0;
    while (i < text.size() && IsHexDigit(text[i]) && type <= 0xFFFFFFFFull) {
      type = type * 16 + uint64_t(text[i] <= '9' ? text[i] - '0' : (text[i] | 0x20) - 'a' + 10);
      ++i;
    }
    if (i == 4 || type > 0xFFFFFFFFull || text.substr(i, 2) != "):") return parser.Fail(lineIndex, "malformed value");
    value.type = uint32_t(type);
    pos = i + 2;
    hex = true;
  } else {
    return parser.Fail(lineIndex, "malformed value");
  }

  if (tag && tag->isString) {
    std::u16string chars;
    if (!winereg::ParseEscaped(text.substr(pos), '"', chars)) return parser.Fail(lineIndex, "malformed value");
    value.data = StringData(chars);
    return true;
  }
  if (!hex) {  // dword
    size_t i = pos;
    uint32_t dw = 0;
    while (i < text.size() && IsHexDigit(text[i]) && i - pos < 8) {
      dw = dw * 16 + uint32_t(text[i] <= '9' ? text[i] - '0' : (text[i] | 0x20) - 'a' + 10);
      ++i;
    }
    if (i == pos || SkipSpaces(text, i) != text.size()) return parser.Fail(lineIndex, "malformed value");
    value.data = {uint8_t(dw), uint8_t(dw >> 8), uint8_t(dw >> 16), uint8_t(dw >> 24)};
    return true;
  }

  value.data.clear();
  std::string_view rest = text.substr(pos);
  size_t current = lineIndex;
  for (;;) {
    size_t i = 0;
    while (i < rest.size() && IsHexDigit(rest[i])) {
      unsigned byte = 0;
      const size_t start = i;
      while (i < rest.size() && IsHexDigit(rest[i]) && i - start < 3) {
        byte = byte * 16 + unsigned(rest[i] <= '9' ? rest[i] - '0' : (rest[i] | 0x20) - 'a' + 10);
        ++i;
      }
      if (byte > 0xFF) return parser.Fail(current, "malformed value");
      value.data.push_back(uint8_t(byte));
      i = SkipSpaces(rest, i);
      if (i < rest.size() && rest[i] == ',') ++i;
      i = SkipSpaces(rest, i);
    }
    i = SkipSpaces(rest, i);
    if (i == rest.size()) return true;
    if (rest[i] != '\\' || parser.next >= parser.raw.size()) return parser.Fail(current, "malformed value");
    current = parser.next++;
    ++lines;
    rest = Content(parser.raw[current]);
    rest = rest.substr(SkipSpaces(rest, 0));
  }
}

}  // namespace

WineRegistryFile::WineRegistryFile() : root_(std::make_unique<Key>()) {}

std::string WineRegistryFile::EmptyText(std::string_view relativeTo, bool win64) {
  std::string out(kSignature);
  out += "\n;; All keys relative to ";
  out += relativeTo;
  out += win64 ? "\n\n#arch=win64\n" : "\n\n#arch=win32\n";
  return out;
}

std::unique_ptr<WineRegistryFile> WineRegistryFile::Parse(std::string_view text, Error& error) {
  std::unique_ptr<WineRegistryFile> file(new WineRegistryFile());
  if (!file->ParseLines(text, error)) return nullptr;
  return file;
}

bool WineRegistryFile::ParseLines(std::string_view text, Error& error) {
  Parser parser;
  parser.error = &error;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    const size_t stop = end == std::string_view::npos ? text.size() : end + 1;
    parser.raw.push_back(text.substr(start, stop - start));
    start = stop;
  }
  if (parser.raw.empty() || Content(parser.raw[0]) != kSignature) return parser.Fail(0, "not a Wine registry file");

  auto preamble = std::make_unique<Block>();
  Block* block = preamble.get();
  blocks_.push_back(std::move(preamble));
  block->lines.emplace_back(parser.raw[0]);
  parser.next = 1;

  Key* key = nullptr;
  while (parser.next < parser.raw.size()) {
    const size_t index = parser.next++;
    const std::string_view raw = parser.raw[index];
    const std::string_view line = Content(raw);
    const size_t p = SkipSpaces(line, 0);
    const char first = p < line.size() ? line[p] : '\0';

    if (first == '[') {
      std::u16string path;
      const auto used = winereg::ParseEscaped(line.substr(p + 1), ']', path);
      if (!used) return parser.Fail(index, "malformed key");
      std::vector<std::u16string> parts;
      if (!path.empty()) {
        size_t from = 0;
        for (;;) {
          const size_t cut = path.find(u'\\', from);
          parts.push_back(path.substr(from, cut == std::u16string::npos ? std::u16string::npos : cut - from));
          if (parts.back().empty()) return parser.Fail(index, "malformed key");
          if (cut == std::u16string::npos) break;
          from = cut + 1;
        }
      }
      key = Create(parts);
      auto next = std::make_unique<Block>();
      block = next.get();
      block->key = key;
      block->pathEnd = p + 1 + *used;
      blocks_.push_back(std::move(next));
      if (!key->block) key->block = block;
      block->lines.emplace_back(raw);
      continue;
    }

    block->lines.emplace_back(raw);
    if (first == '@' || first == '"') {
      if (!key) return parser.Fail(index, "value without a key");
      Value value;
      size_t pos;
      if (first == '@') {
        pos = p + 1;
      } else {
        const auto used = winereg::ParseEscaped(line.substr(p + 1), '"', value.name);
        if (!used) return parser.Fail(index, "malformed value name");
        pos = p + 1 + *used;
      }
      pos = SkipSpaces(line, pos);
      if (pos >= line.size() || line[pos] != '=') return parser.Fail(index, "malformed value name");
      pos = SkipSpaces(line, pos + 1);
      size_t lines = 1;
      if (!ParseValueData(line.substr(pos), parser, index, value, lines)) return false;
      for (size_t extra = 1; extra < lines; ++extra) block->lines.emplace_back(parser.raw[index + extra]);

      ValueSlot slot{std::move(value), block, block->lines.size() - lines, lines, false};
      auto found = std::find_if(key->values.begin(), key->values.end(),
                                [&](const ValueSlot& s) { return winereg::SameName(s.value.name, slot.value.name); });
      // A later line for the same value wins, as when Wine loads the file.
      if (found != key->values.end()) *found = std::move(slot);
      else key->values.push_back(std::move(slot));
    } else if (first == '#') {
      const std::string_view option = line.substr(p);
      if (key) {
        if (option.substr(0, 6) == "#time=" && block->timeLine < 0) block->timeLine = long(block->lines.size() - 1);
        if (option.substr(0, 7) == "#class=") {
          std::u16string cls;
          if (option.size() < 8 || option[7] != '"' || !winereg::ParseEscaped(option.substr(8), '"', cls))
            return parser.Fail(index, "malformed class");
        }
      } else if (option.substr(0, 6) == "#arch=") {
        const std::string_view arch = option.substr(6);
        if (arch != "win32" && arch != "win64") return parser.Fail(index, "unknown architecture");
        architecture_ = std::string(arch);
      }
    } else if (first != ';' && first != '\0') {
      return parser.Fail(index, "unrecognized input");
    }
  }
  MarkAsRead(*root_);
  return true;
}

WineRegistryFile::Key* WineRegistryFile::Child(Key& parent, std::u16string_view name, bool create) {
  auto at = std::lower_bound(parent.subkeys.begin(), parent.subkeys.end(), name,
                             [](const std::unique_ptr<Key>& k, std::u16string_view n) {
                               return winereg::CompareNames(k->name, n) < 0;
                             });
  if (at != parent.subkeys.end() && winereg::SameName((*at)->name, name)) return at->get();
  if (!create) return nullptr;
  auto key = std::make_unique<Key>();
  key->name = std::u16string(name);
  key->parent = &parent;
  key->created = true;
  return parent.subkeys.insert(at, std::move(key))->get();
}

WineRegistryFile::Key* WineRegistryFile::Find(const std::vector<std::u16string>& path) {
  Key* key = root_.get();
  for (const std::u16string& part : path)
    if (!(key = Child(*key, part, false))) return nullptr;
  return key;
}

WineRegistryFile::Key* WineRegistryFile::Create(const std::vector<std::u16string>& path) {
  Key* key = root_.get();
  for (const std::u16string& part : path) key = Child(*key, part, true);
  return key;
}

const WineRegistryFile::Value* WineRegistryFile::FindValue(const Key& key, std::u16string_view name) const {
  for (const ValueSlot& slot : key.values)
    if (winereg::SameName(slot.value.name, name)) return &slot.value;
  return nullptr;
}

bool WineRegistryFile::SetValue(Key& key, Value value) {
  for (ValueSlot& slot : key.values) {
    if (!winereg::SameName(slot.value.name, value.name)) continue;
    if (slot.value.type == value.type && slot.value.data == value.data) return false;
    value.name = slot.value.name;  // the name keeps the spelling it has
    slot.value = std::move(value);
    slot.changed = true;
    return true;
  }
  key.values.push_back(ValueSlot{std::move(value), nullptr, 0, 0, true});
  return true;
}

std::vector<std::u16string> WineRegistryFile::ValueNames(const Key& key) const {
  std::vector<std::u16string> names;
  for (const ValueSlot& slot : key.values) names.push_back(slot.value.name);
  return names;
}

std::vector<std::u16string> WineRegistryFile::SubkeyNames(const Key& key) const {
  std::vector<std::u16string> names;
  for (const auto& sub : key.subkeys) names.push_back(sub->name);
  return names;
}

std::string WineRegistryFile::DumpValue(const Value& value) {
  std::string out;
  size_t count;
  if (!value.name.empty()) {
    out = "\"" + winereg::Escape(value.name, '"', '"') + "\"=";
    count = out.size();
  } else {
    out = "@=";
    count = 2;
  }
  const std::vector<uint8_t>& d = value.data;
  char buffer[32];
  switch (value.type) {
    case kRegSz:
    case kRegExpandSz:
    case kRegMultiSz:
      // Only a properly terminated string is written as a string.
      if (d.size() >= 2 && d.size() % 2 == 0 && d[d.size() - 1] == 0 && d[d.size() - 2] == 0) {
        std::u16string chars;
        for (size_t i = 0; i + 2 < d.size(); i += 2) chars += char16_t(d[i] | (d[i + 1] << 8));
        if (value.type != kRegSz) {
          std::snprintf(buffer, sizeof buffer, "str(%x):", unsigned(value.type));
          out += buffer;
        }
        out += "\"" + winereg::Escape(chars, '"', '"') + "\"\n";
        return out;
      }
      break;
    case kRegDword:
      if (d.size() == 4) {
        std::snprintf(buffer, sizeof buffer, "dword:%08x\n",
                      unsigned(d[0] | (d[1] << 8) | (d[2] << 16) | (uint32_t(d[3]) << 24)));
        return out + buffer;
      }
      break;
    default:
      break;
  }
  if (value.type == kRegBinary) std::snprintf(buffer, sizeof buffer, "hex:");
  else std::snprintf(buffer, sizeof buffer, "hex(%x):", unsigned(value.type));
  out += buffer;
  count += std::string_view(buffer).size();
  for (size_t i = 0; i < d.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", unsigned(d[i]));
    out += buffer;
    count += 2;
    if (i + 1 < d.size()) {
      out += ',';
      if (++count > 76) {
        out += "\\\n  ";
        count = 2;
      }
    }
  }
  out += '\n';
  return out;
}

std::string WineRegistryFile::Serialize(uint64_t now) const {
  std::vector<const Key*> fresh;
  CollectNewBlocks(*root_, fresh);
  std::vector<std::vector<std::u16string>> freshPaths;
  for (const Key* key : fresh) freshPaths.push_back(PathOf(key));

  std::string out;
  size_t nextFresh = 0;
  const auto emitFresh = [&](const Key* key) {
    SeparateBlock(out);
    out += "[" + EscapedPath(key) + "]" + HeaderTime(now) + "\n" + TimeOption(now) + "\n";
    for (const ValueSlot& slot : key->values) out += DumpValue(slot.value);
  };

  for (const auto& blockPtr : blocks_) {
    const Block& block = *blockPtr;
    if (block.key) {
      const std::vector<std::u16string> path = PathOf(block.key);
      bool emitted = false;
      while (nextFresh < fresh.size() && ComparePaths(freshPaths[nextFresh], path) < 0) {
        emitFresh(fresh[nextFresh++]);
        emitted = true;
      }
      if (emitted) SeparateBlock(out);
    }

    // Changed values whose lines are in this block, by first line; values
    // new to the key go after its primary block's last non-blank line.
    std::map<size_t, const ValueSlot*> replaced;
    std::vector<const ValueSlot*> added;
    if (block.key) {
      for (const ValueSlot& slot : block.key->values) {
        if (!slot.changed) continue;
        if (slot.block == &block) replaced[slot.firstLine] = &slot;
        else if (!slot.block && block.key->block == &block) added.push_back(&slot);
      }
    }
    if (replaced.empty() && added.empty()) {
      for (const std::string& line : block.lines) out += line;
      continue;
    }

    size_t lastContent = 0;
    for (size_t i = 0; i < block.lines.size(); ++i)
      if (SkipSpaces(block.lines[i], 0) < block.lines[i].size()) lastContent = i;
    // Lines the program writes take the line end of the key's header.
    const std::string_view headerEnd = LineEnd(block.lines[0]);
    const std::string lineEnd(headerEnd.empty() ? std::string_view("\n") : headerEnd);
    const auto emit = [&](const std::string& text) {
      for (char c : text) {
        if (c == '\n') out += lineEnd;
        else out += c;
      }
    };
    const auto emitAdded = [&] {
      for (const ValueSlot* slot : added) emit(DumpValue(slot->value));
      added.clear();
    };

    for (size_t i = 0; i < block.lines.size();) {
      const std::string& line = block.lines[i];
      size_t count = 1;
      if (i == 0) {
        out += line.substr(0, block.pathEnd) + HeaderTime(now) + lineEnd;
      } else if (long(i) == block.timeLine) {
        out += TimeOption(now) + lineEnd;
      } else if (auto found = replaced.find(i); found != replaced.end()) {
        emit(DumpValue(found->second->value));
        count = found->second->lineCount;
      } else {
        out += line;
        // The file's last line may lack its line end; a value after it needs one.
        if (!added.empty() && lastContent == i && LineEnd(line).empty()) out += lineEnd;
      }
      if (lastContent >= i && lastContent < i + count) emitAdded();
      i += count;
    }
  }
  while (nextFresh < fresh.size()) emitFresh(fresh[nextFresh++]);
  return out;
}

}  // namespace tastora
