#include "datafile/XmlTag.h"

namespace tastora {
namespace {

// Only a..z change: names and values are 8-bit text in any code page.
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

void UpperInPlace(std::string& s) {
  for (char& c : s) c = UpperAscii(c);
}

// Blanks and every control character, bytes above 0x7F excluded.
bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsTrimmed(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsTrimmed(s.back())) s.remove_suffix(1);
  return s;
}

// NormalizeToken without the upper-casing, as a view into `s`.
std::string_view StripToken(std::string_view s) {
  if (!s.empty() && !IsTrimmed(s.front()) && !IsTrimmed(s.back()) && s.front() != '"') return s;
  for (;;) {
    s = Trim(s);
    if (s.empty() || s.front() != '"' || s.back() != '"') return s;
    if (s.size() == 1) return {};  // a lone double quote
    s = s.substr(1, s.size() - 2);
  }
}

// Position of the first "=", or the length when there is none. A plain loop:
// entries are short, and lookups run once per attribute read.
size_t SeparatorOf(std::string_view entry) {
  size_t i = 0;
  while (i < entry.size() && entry[i] != '=') ++i;
  return i;
}

std::string_view NamePart(std::string_view entry) { return entry.substr(0, SeparatorOf(entry)); }

std::string_view ValuePart(std::string_view entry) {
  const size_t eq = SeparatorOf(entry);
  return eq == entry.size() ? std::string_view() : entry.substr(eq + 1);
}

// Whether `name`, upper-cased, is the name part of `entry` (stored upper-case).
bool NameMatches(std::string_view entry, std::string_view name) {
  if (entry.size() < name.size() || (entry.size() > name.size() && entry[name.size()] != '=')) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    // A name part never holds "=", so a name with one matches nothing.
    if (name[i] == '=' || UpperAscii(name[i]) != entry[i]) return false;
  }
  return true;
}

int FindEntry(const std::vector<std::string>& entries, std::string_view name) {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (NameMatches(entries[i], name)) return static_cast<int>(i);
  }
  return -1;
}

char* CopyUpper(std::string_view from, char* out) {
  for (const char c : from) *out++ = UpperAscii(c);
  return out;
}

// `entry` is sized already and holds "=" where name and value meet.
void FillEntry(std::string& entry, std::string_view name, std::string_view value) {
  CopyUpper(value, CopyUpper(name, entry.data()) + 1);
}

std::string MakeEntry(std::string_view name, std::string_view value) {
  std::string entry(name.size() + 1 + value.size(), '=');
  FillEntry(entry, name, value);
  return entry;
}

}  // namespace

std::string NormalizeToken(std::string_view s) {
  std::string result(StripToken(s));
  UpperInPlace(result);
  return result;
}

void TXMLTag::AddAttribute(std::string_view name, std::string_view value) {
  if (Attributes.capacity() == 0) Attributes.reserve(4);
  name = StripToken(name);
  value = StripToken(value);
  if (Attributes.size() == Attributes.capacity()) {
    // Built before the list grows: `name` or `value` may be a view into an entry.
    std::string entry = MakeEntry(name, value);
    Attributes.push_back(std::move(entry));
  } else {
    FillEntry(Attributes.emplace_back(name.size() + 1 + value.size(), '='), name, value);
  }
}

void TXMLTag::SetAttribute(std::string_view name, std::string_view value) {
  const std::string_view key = Trim(name);
  const int index = FindEntry(Attributes, key);
  if (index < 0) return;
  Attributes[static_cast<size_t>(index)] = MakeEntry(key, StripToken(value));
}

std::string TXMLTag::GetAttribute(std::string_view name) const {
  const int index = FindEntry(Attributes, name);
  return index < 0 ? std::string() : std::string(ValuePart(Attributes[static_cast<size_t>(index)]));
}

std::string TXMLTag::GetAttributeDef(std::string_view name, std::string_view def) const {
  std::string value = GetAttribute(name);
  return value.empty() ? std::string(def) : value;
}

bool TXMLTag::HasAttribute(std::string_view name) const { return FindEntry(Attributes, name) >= 0; }

std::string TXMLTag::AttributeName(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= Attributes.size()) return {};
  return std::string(NamePart(Attributes[static_cast<size_t>(index)]));
}

std::string TXMLTag::AttributeValue(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= Attributes.size()) return {};
  return std::string(ValuePart(Attributes[static_cast<size_t>(index)]));
}

std::string TXMLTag::AttributesText() const {
  std::string text;
  for (const std::string& entry : Attributes) {
    if (!text.empty()) text += ' ';
    text.append(NamePart(entry)).append("=\"").append(ValuePart(entry)).append(1, '"');
  }
  return text;
}

std::string TXMLTag::OpenTagText() const { return "<" + Name + " " + AttributesText() + ">"; }

std::string TXMLTag::EmptyTagText() const { return "<" + Name + " " + AttributesText() + "/>"; }

std::string TXMLTag::CloseTagText() const { return "</" + Name + ">"; }

}  // namespace tastora
