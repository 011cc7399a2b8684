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

bool HasValues(const Key& key) {
  return std::any_of(key.values.begin(), key.values.end(), [](const auto& slot) { return !slot.removed; });
}

bool NeedsNewBlock(const Key& key) {
  if (key.block) return false;
  const bool touched = key.created || std::any_of(key.values.begin(), key.values.end(),
                                                  [](const auto& slot) { return slot.changed; });
  // Wine writes a key when it has values or no subkeys; parents only through their children.
  return touched && (HasValues(key) || key.subkeys.empty());
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

// Most keys hold a handful of values and subkeys, searched faster than
// hashed; a key with thousands (a long preload list, every layout
// registration) must not cost a search of all of them per name.
constexpr size_t kIndexFrom = 16;

template <typename T>
void IndexAdd(WineRegistryFile::NameIndex<T>& index, uint64_t hash, T item) {
  if ((index.used + 1) * 2 > index.slots.size()) {
    std::vector<typename WineRegistryFile::NameIndex<T>::Slot> old(std::max<size_t>(64, index.slots.size() * 2));
    old.swap(index.slots);
    index.used = 0;
    for (const auto& slot : old)
      if (slot.item != T{}) IndexAdd(index, slot.hash, slot.item);
  }
  const size_t mask = index.slots.size() - 1;
  size_t i = size_t(hash) & mask;
  while (index.slots[i].item != T{}) i = (i + 1) & mask;
  index.slots[i] = {hash, item};
  ++index.used;
}

// The item whose name (`nameOf`) is `name`; T{} when there is none.
template <typename T, typename NameOf>
T IndexFind(const WineRegistryFile::NameIndex<T>& index, std::u16string_view name, NameOf nameOf) {
  const uint64_t hash = winereg::HashName(name);
  const size_t mask = index.slots.size() - 1;
  for (size_t i = size_t(hash) & mask; index.slots[i].item != T{}; i = (i + 1) & mask)
    if (index.slots[i].hash == hash && winereg::SameName(nameOf(index.slots[i].item), name)) return index.slots[i].item;
  return T{};
}

// Parsing state of one file.
struct Parser {
  const std::vector<std::string_view>& raw;  // lines with their line ends
  size_t next = 0;                           // index of the next raw line
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
  file->text_ = std::string(text);
  if (!file->ParseLines(file->text_, error)) return nullptr;
  return file;
}

bool WineRegistryFile::ParseLines(std::string_view text, Error& error) {
  lines_.reserve(size_t(std::count(text.begin(), text.end(), '\n')) + 1);
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    const size_t stop = end == std::string_view::npos ? text.size() : end + 1;
    lines_.push_back(text.substr(start, stop - start));
    start = stop;
  }
  Parser parser{lines_, 1, &error};
  if (lines_.empty() || Content(lines_[0]) != kSignature) return parser.Fail(0, "not a Wine registry file");

  // A block is the lines from its first up to the next key's header.
  Block* block = blocks_.emplace_back(std::make_unique<Block>()).get();
  size_t blockStart = 0;
  const auto endBlock = [&](size_t end) { block->lines = std::span(lines_).subspan(blockStart, end - blockStart); };

  Key* key = nullptr;
  std::u16string path;
  std::vector<std::u16string> parts;  // reused from key to key
  while (parser.next < lines_.size()) {
    const size_t index = parser.next++;
    const std::string_view raw = lines_[index];
    const std::string_view line = Content(raw);
    const size_t p = SkipSpaces(line, 0);
    const char first = p < line.size() ? line[p] : '\0';

    if (first == '[') {
      const auto used = winereg::ParseEscaped(line.substr(p + 1), ']', path);
      if (!used) return parser.Fail(index, "malformed key");
      size_t count = 0;
      if (!path.empty()) {
        for (size_t from = 0;;) {
          const size_t cut = path.find(u'\\', from);
          const size_t length = cut == std::u16string::npos ? path.size() - from : cut - from;
          if (length == 0) return parser.Fail(index, "malformed key");
          if (count == parts.size()) parts.emplace_back();
          parts[count++].assign(path, from, length);
          if (cut == std::u16string::npos) break;
          from = cut + 1;
        }
      }
      key = CreatePath(std::span<const std::u16string>(parts).first(count));
      endBlock(index);
      block = blocks_.emplace_back(std::make_unique<Block>()).get();
      blockStart = index;
      block->key = key;
      block->pathEnd = p + 1 + *used;
      if (!key->block) key->block = block;
      continue;
    }

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

      ValueSlot slot{std::move(value), block, index - blockStart, lines, false};
      // A later line for the same value wins, as when Wine loads the file.
      if (ValueSlot* found = FindSlot(*key, slot.value.name)) {
        key->shadowed.push_back(std::move(*found));
        *found = std::move(slot);
      } else {
        Append(*key, std::move(slot));
      }
    } else if (first == '#') {
      const std::string_view option = line.substr(p);
      if (key) {
        if (option.substr(0, 6) == "#time=" && block->timeLine < 0) block->timeLine = long(index - blockStart);
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
    if (first != '\0') block->contentEnd = parser.next - blockStart;  // past a value's last line
  }
  endBlock(lines_.size());
  MarkAsRead(*root_);
  return true;
}

WineRegistryFile::Key* WineRegistryFile::Child(Key& parent, std::u16string_view name, bool create) {
  const bool indexed = !parent.subkeyIndex.slots.empty();
  if (indexed) {
    Key* found = IndexFind(parent.subkeyIndex, name, [](const Key* k) -> const std::u16string& { return k->name; });
    if (found || !create) return found;
  } else {
    // Wine writes keys in order: a key read is most often the last one.
    for (auto it = parent.subkeys.rbegin(); it != parent.subkeys.rend(); ++it)
      if (winereg::SameName((*it)->name, name)) return it->get();
    if (!create) return nullptr;
  }
  // A new key goes in order; when it is read from the file, usually last.
  auto at = parent.subkeys.end();
  if (!parent.subkeys.empty() && winereg::CompareNames(parent.subkeys.back()->name, name) > 0)
    at = std::lower_bound(parent.subkeys.begin(), parent.subkeys.end() - 1, name,
                          [](const std::unique_ptr<Key>& k, std::u16string_view n) {
                            return winereg::CompareNames(k->name, n) < 0;
                          });
  auto key = std::make_unique<Key>();
  key->name = std::u16string(name);
  key->parent = &parent;
  key->created = true;
  Key* made = parent.subkeys.insert(at, std::move(key))->get();
  if (indexed) {
    IndexAdd(parent.subkeyIndex, winereg::HashName(made->name), made);
  } else if (parent.subkeys.size() >= kIndexFrom) {
    for (const auto& sub : parent.subkeys) IndexAdd(parent.subkeyIndex, winereg::HashName(sub->name), sub.get());
  }
  return made;
}

WineRegistryFile::Key* WineRegistryFile::Find(const std::vector<std::u16string>& path) {
  Key* key = root_.get();
  for (const std::u16string& part : path)
    if (!(key = Child(*key, part, false))) return nullptr;
  return key;
}

WineRegistryFile::Key* WineRegistryFile::Create(const std::vector<std::u16string>& path) { return CreatePath(path); }

WineRegistryFile::Key* WineRegistryFile::CreatePath(std::span<const std::u16string> path) {
  Key* key = root_.get();
  for (const std::u16string& part : path) key = Child(*key, part, true);
  return key;
}

const WineRegistryFile::ValueSlot* WineRegistryFile::Lookup(const Key& key, std::u16string_view name) {
  if (key.valueIndex.slots.empty()) {
    for (const ValueSlot& slot : key.values)
      if (winereg::SameName(slot.value.name, name)) return &slot;
    return nullptr;
  }
  const uint32_t found = IndexFind(key.valueIndex, name, [&](uint32_t item) -> const std::u16string& {
    return key.values[item - 1].value.name;
  });
  return found ? &key.values[found - 1] : nullptr;
}

void WineRegistryFile::Append(Key& key, ValueSlot slot) {
  key.values.push_back(std::move(slot));
  if (!key.valueIndex.slots.empty()) {
    IndexAdd(key.valueIndex, winereg::HashName(key.values.back().value.name), uint32_t(key.values.size()));
  } else if (key.values.size() >= kIndexFrom) {
    for (size_t i = 0; i < key.values.size(); ++i)
      IndexAdd(key.valueIndex, winereg::HashName(key.values[i].value.name), uint32_t(i + 1));
  }
}

const WineRegistryFile::Value* WineRegistryFile::FindValue(const Key& key, std::u16string_view name) const {
  const ValueSlot* slot = Lookup(key, name);
  return slot && !slot->removed ? &slot->value : nullptr;
}

WineRegistryFile::ValueSlot* WineRegistryFile::FindSlot(Key& key, std::u16string_view name) {
  return const_cast<ValueSlot*>(Lookup(key, name));
}

bool WineRegistryFile::SetValue(Key& key, Value value) {
  if (ValueSlot* slot = FindSlot(key, value.name)) {
    if (!slot->removed && slot->value.type == value.type && slot->value.data == value.data) return false;
    if (!slot->removed) value.name = slot->value.name;  // the name keeps the spelling it has
    slot->value = std::move(value);
    slot->changed = true;
    slot->removed = false;
    return true;
  }
  Append(key, ValueSlot{std::move(value), nullptr, 0, 0, true});
  return true;
}

bool WineRegistryFile::RemoveValue(Key& key, std::u16string_view name) {
  ValueSlot* slot = FindSlot(key, name);
  if (!slot || slot->removed) return false;
  slot->removed = true;
  slot->changed = true;
  // Earlier lines of the same name would stand for it once its own are gone.
  for (ValueSlot& earlier : key.shadowed)
    if (winereg::SameName(earlier.value.name, name)) earlier.removed = true;
  return true;
}

bool WineRegistryFile::RemoveKey(Key& key) {
  Key* parent = key.parent;
  if (!parent || !key.subkeys.empty()) return false;
  auto at = std::find_if(parent->subkeys.begin(), parent->subkeys.end(),
                         [&](const std::unique_ptr<Key>& k) { return k.get() == &key; });
  if (at == parent->subkeys.end()) return false;
  key.removed = true;
  removedKeys_.push_back(std::move(*at));
  parent->subkeys.erase(at);
  if (!parent->subkeyIndex.slots.empty()) {
    parent->subkeyIndex = {};
    for (const auto& sub : parent->subkeys) IndexAdd(parent->subkeyIndex, winereg::HashName(sub->name), sub.get());
  }
  // A parent named in the file only through this key stays, as it does in
  // the registry: it gets lines of its own.
  if (parent->parent && !parent->block && parent->subkeys.empty()) parent->created = true;
  return true;
}

std::vector<std::u16string> WineRegistryFile::ValueNames(const Key& key) const {
  std::vector<std::u16string> names;
  for (const ValueSlot& slot : key.values)
    if (!slot.removed) names.push_back(slot.value.name);
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
    for (const ValueSlot& slot : key->values)
      if (!slot.removed) out += DumpValue(slot.value);
  };

  for (const auto& blockPtr : blocks_) {
    const Block& block = *blockPtr;
    if (block.key && nextFresh < fresh.size()) {
      const std::vector<std::u16string> path = PathOf(block.key);
      bool emitted = false;
      while (nextFresh < fresh.size() && ComparePaths(freshPaths[nextFresh], path) < 0) {
        emitFresh(fresh[nextFresh++]);
        emitted = true;
      }
      if (emitted) SeparateBlock(out);
    }
    if (block.key && block.key->removed) continue;

    // Values whose lines are in this block and that changed or went, by
    // first line; values new to the key go after its primary block's last
    // non-blank line.
    std::map<size_t, const ValueSlot*> replaced;
    std::vector<const ValueSlot*> added;
    if (block.key) {
      for (const ValueSlot& slot : block.key->values) {
        if (!slot.changed) continue;
        if (slot.block == &block) replaced[slot.firstLine] = &slot;
        else if (!slot.block && !slot.removed && block.key->block == &block) added.push_back(&slot);
      }
      for (const ValueSlot& slot : block.key->shadowed)
        if (slot.removed && slot.block == &block) replaced[slot.firstLine] = &slot;
    }
    if (replaced.empty() && added.empty()) {
      for (const std::string_view line : block.lines) out += line;
      continue;
    }

    // New values go after the last line that holds something, and never
    // between a value's lines: a continuation line may look blank.
    const size_t lastContent = block.contentEnd - 1;
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
      const std::string_view line = block.lines[i];
      size_t count = 1;
      if (i == 0) {
        out += line.substr(0, block.pathEnd);
        out += HeaderTime(now);
        out += lineEnd;
      } else if (long(i) == block.timeLine) {
        out += TimeOption(now) + lineEnd;
      } else if (auto found = replaced.find(i); found != replaced.end()) {
        if (!found->second->removed) emit(DumpValue(found->second->value));
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
