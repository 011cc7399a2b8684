#include "picture/SvgText.h"

#include <array>
#include <cstdio>

namespace tastora {
namespace {

constexpr std::array<const char*, 32> kC0Names = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",  "VT",  "FF",  "CR", "SO", "SI",
    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS", "RS", "US"};

struct NamedChar {
  uint16_t codePoint;
  const char* name;
};

// Characters that print nothing visible, or that would rearrange the text
// around them, by the short names their users know them by.
constexpr NamedChar kInvisibleNames[] = {
    {0x0020, "SP"},   {0x007F, "DEL"},  {0x00A0, "NBSP"}, {0x00AD, "SHY"},    {0x034F, "CGJ"},
    {0x061C, "ALM"},  {0x180E, "MVS"},  {0x200B, "ZWSP"}, {0x200C, "ZWNJ"},   {0x200D, "ZWJ"},
    {0x200E, "LRM"},  {0x200F, "RLM"},  {0x2028, "LSEP"}, {0x2029, "PSEP"},   {0x202A, "LRE"},
    {0x202B, "RLE"},  {0x202C, "PDF"},  {0x202D, "LRO"},  {0x202E, "RLO"},    {0x202F, "NNBSP"},
    {0x2060, "WJ"},   {0x2066, "LRI"},  {0x2067, "RLI"},  {0x2068, "FSI"},    {0x2069, "PDI"},
    {0xFEFF, "ZWNBSP"},
};

struct Range {
  uint32_t first;
  uint32_t last;
};

// The combining marks of the scripts layouts are made for (the common
// blocks of nonspacing and spacing marks).
constexpr Range kCombiningRanges[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0900, 0x0903},
    {0x093A, 0x093C}, {0x093E, 0x094F}, {0x0951, 0x0957}, {0x0962, 0x0963}, {0x0981, 0x0983},
    {0x09BC, 0x09BC}, {0x09BE, 0x09CD}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E},
    {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x20D0, 0x20FF}, {0x302A, 0x302F}, {0x3099, 0x309A},
    {0xFE20, 0xFE2F},
};

// Shown by number: XML cannot carry them (unpaired surrogates, U+FFFE,
// U+FFFF), or they are controls and spaces without a well-known name.
bool ShownByNumber(uint32_t c) {
  return (c >= 0x80 && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF ||
         (c >= 0xFDD0 && c <= 0xFDEF) || (c >= 0x2000 && c <= 0x200A) || (c >= 0x2061 && c <= 0x206F) ||
         c == 0x1680 || c == 0x205F || c == 0x3000;
}

// The name a character is shown by; empty when it is shown as itself.
std::string NameOf(uint32_t c) {
  if (c < kC0Names.size()) return kC0Names[c];
  for (const NamedChar& n : kInvisibleNames)
    if (n.codePoint == c) return n.name;
  if (!ShownByNumber(c)) return "";
  char number[16];
  std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(c));
  return number;
}

// Text from outside (a file name, a registry value) may be in another
// encoding: what does not decode is shown as U+FFFD rather than making the
// document unreadable.
constexpr uint32_t kReplacement = 0xFFFD;

struct Decoded {
  uint32_t codePoint;
  size_t length;  // at least 1
};

Decoded DecodeUtf8(std::string_view s) {
  const auto byte = [&s](size_t i) { return static_cast<uint8_t>(s[i]); };
  const uint8_t lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  size_t length = 0;
  uint32_t c = 0, least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, c = lead & 0x1Fu, least = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, c = lead & 0x0Fu, least = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, c = lead & 0x07u, least = 0x10000;
  else return {kReplacement, 1};
  if (s.size() < length) return {kReplacement, 1};
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {kReplacement, 1};
    c = (c << 6) | (byte(i) & 0x3Fu);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {kReplacement, 1};
  return {c, length};
}

// The characters an XML 1.0 document may hold.
bool IsXmlChar(uint32_t c) {
  if (c < 0x20) return c == '\t' || c == '\n' || c == '\r';
  return !(c >= 0xD800 && c <= 0xDFFF) && c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

}  // namespace

std::string XmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const Decoded d = DecodeUtf8(text.substr(i));
    i += d.length;
    switch (d.codePoint) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: AppendUtf8(out, IsXmlChar(d.codePoint) ? d.codePoint : kReplacement);
    }
  }
  return out;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsCombiningMark(uint32_t c) {
  for (const Range& r : kCombiningRanges)
    if (c >= r.first && c <= r.last) return true;
  return false;
}

CapText KeyCapText(std::span<const uint16_t> units) {
  CapText cap;
  bool afterName = false;  // the last piece was a name: nothing for a mark to sit on
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    const std::string name = NameOf(c);
    if (!name.empty()) {
      // Names stand apart from each other and from the characters around them.
      if (!cap.text.empty()) cap.text += ' ';
      cap.text += name;
      cap.named = afterName = true;
      continue;
    }
    if (afterName) cap.text += ' ';
    if (IsCombiningMark(c) && (cap.text.empty() || afterName)) AppendUtf8(cap.text, 0x25CC);
    AppendUtf8(cap.text, c);
    afterName = false;
  }
  return cap;
}

}  // namespace tastora
