#include "platform/offline/WineRegistryText.h"

#include <cstdint>
#include <cstdio>

namespace tastora::winereg {
namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

unsigned HexValue(char c) {
  if (c >= '0' && c <= '9') return unsigned(c - '0');
  if (c >= 'a' && c <= 'f') return unsigned(c - 'a' + 10);
  return unsigned(c - 'A' + 10);
}

void AppendCodePoint(uint32_t cp, std::u16string& out) {
  if (cp <= 0xFFFF) {
    out += char16_t(cp);
  } else {
    cp -= 0x10000;
    out += char16_t(0xD800 | (cp >> 10));
    out += char16_t(0xDC00 | (cp & 0x3FF));
  }
}

// One UTF-8 sequence starting at src[i]; advances i. Invalid sequences are
// skipped, as Wine skips them.
void DecodeUtf8(std::string_view src, size_t& i, std::u16string& out) {
  const auto lead = static_cast<unsigned char>(src[i++]);
  int more;
  uint32_t cp;
  uint32_t minimum;
  if (lead >= 0xF0 && lead < 0xF8) { more = 3; cp = lead & 0x07u; minimum = 0x10000; }
  else if (lead >= 0xE0) { more = 2; cp = lead & 0x0Fu; minimum = 0x800; }
  else if (lead >= 0xC0) { more = 1; cp = lead & 0x1Fu; minimum = 0x80; }
  else return;
  if (lead >= 0xF8) return;
  for (; more > 0; --more) {
    if (i >= src.size()) return;
    const auto next = static_cast<unsigned char>(src[i]);
    if ((next & 0xC0) != 0x80) return;
    cp = (cp << 6) | (next & 0x3Fu);
    ++i;
  }
  if (cp < minimum || cp > 0x10FFFF) return;
  AppendCodePoint(cp, out);
}

}  // namespace

std::optional<size_t> ParseEscaped(std::string_view src, char endChar, std::u16string& out) {
  out.clear();
  size_t i = 0;
  while (i < src.size() && src[i] != '\0' && src[i] != endChar) {
    // Plain text in one go: most names and strings are nothing else.
    size_t plain = i;
    while (plain < src.size() && uint8_t(src[plain]) - 1u < 0x7Fu && src[plain] != endChar && src[plain] != '\\')
      ++plain;
    if (plain > i) {
      const size_t at = out.size();
      out.resize(at + (plain - i));
      for (size_t k = 0; i < plain; ++k, ++i) out[at + k] = char16_t(src[i]);
      continue;
    }
    if (src[i] == '\\' && i + 1 < src.size()) {
      const char e = src[i + 1];
      if (e == '\0') return std::nullopt;
      char16_t simple = 0;
      switch (e) {
        case 'a': simple = 7; break;
        case 'b': simple = 8; break;
        case 'e': simple = 27; break;
        case 'f': simple = 12; break;
        case 'n': simple = 10; break;
        case 'r': simple = 13; break;
        case 't': simple = 9; break;
        case 'v': simple = 11; break;
        default: break;
      }
      if (simple != 0) {
        out += simple;
        i += 2;
        continue;
      }
      if (e == 'x') {
        i += 2;
        if (i >= src.size() || !IsHexDigit(src[i])) {
          out += u'x';
          continue;
        }
        unsigned value = 0;
        for (int n = 0; n < 4 && i < src.size() && IsHexDigit(src[i]); ++n) value = value * 16 + HexValue(src[i++]);
        out += char16_t(value);
        continue;
      }
      if (e >= '0' && e <= '7') {
        i += 1;
        unsigned value = 0;
        for (int n = 0; n < 3 && i < src.size() && src[i] >= '0' && src[i] <= '7'; ++n)
          value = value * 8 + unsigned(src[i++] - '0');
        out += char16_t(value);
        continue;
      }
      ++i;  // any other escaped character stands for itself
    } else if (src[i] == '\\') {
      return std::nullopt;  // a lone backslash at the end: the delimiter is missing
    }
    const auto c = static_cast<unsigned char>(src[i]);
    if (c < 0x80) {
      out += char16_t(c);
      ++i;
    } else {
      DecodeUtf8(src, i, out);
    }
  }
  if (i >= src.size() || src[i] != endChar) return std::nullopt;
  return i + 1;
}

std::string Escape(std::u16string_view text, char quote1, char quote2) {
  static constexpr char kEscapes[] = ".......abtnvfr.............e....";
  std::string out;
  out.reserve(text.size());
  char buffer[16];
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t ch = text[i];
    const bool hasNext = i + 1 < text.size();
    if (ch > 127) {
      // Four digits when a hexadecimal digit follows, so it is not read as part of the escape.
      const bool padded = hasNext && text[i + 1] < 128 && IsHexDigit(char(text[i + 1]));
      std::snprintf(buffer, sizeof buffer, padded ? "\\x%04x" : "\\x%x", unsigned(ch));
      out += buffer;
    } else if (ch < 32) {
      if (kEscapes[ch] != '.') {
        out += '\\';
        out += kEscapes[ch];
      } else {
        const bool padded = hasNext && text[i + 1] >= '0' && text[i + 1] <= '7';
        std::snprintf(buffer, sizeof buffer, padded ? "\\%03o" : "\\%o", unsigned(ch));
        out += buffer;
      }
    } else {
      const char c = char(ch);
      if (c == '\\' || c == quote1 || c == quote2) out += '\\';
      out += c;
    }
  }
  return out;
}

char16_t FoldCase(char16_t ch) {
  if (ch < 0x80) return (ch >= u'A' && ch <= u'Z') ? char16_t(ch + 32) : ch;
  if ((ch >= 0xC0 && ch <= 0xDE && ch != 0xD7)) return char16_t(ch + 32);
  if (ch >= 0x100 && ch <= 0x17F) {
    // Latin Extended-A pairs: mostly upper case on the even code point, with
    // a stretch on the odd ones.
    if ((ch >= 0x139 && ch <= 0x148) || (ch >= 0x179 && ch <= 0x17E)) return (ch & 1) ? char16_t(ch + 1) : ch;
    if (ch == 0x178) return 0xFF;
    if (ch == 0x130 || ch == 0x138 || ch == 0x149 || ch == 0x17F) return ch;
    return (ch & 1) ? ch : char16_t(ch + 1);
  }
  if (ch >= 0x391 && ch <= 0x3AB && ch != 0x3A2) return char16_t(ch + 32);
  if (ch >= 0x410 && ch <= 0x42F) return char16_t(ch + 32);
  if (ch >= 0x400 && ch <= 0x40F) return char16_t(ch + 80);
  return ch;
}

uint64_t HashName(std::u16string_view name) {
  // FNV-1a over the folded UTF-16 units.
  uint64_t hash = 0xcbf29ce484222325ull;
  for (char16_t c : name) {
    const char16_t folded = FoldCase(c);
    hash = (hash ^ uint8_t(folded)) * 0x100000001b3ull;
    hash = (hash ^ uint8_t(folded >> 8)) * 0x100000001b3ull;
  }
  // The low bits pick a slot: mix the high ones down, as they alone see every unit.
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdull;
  hash ^= hash >> 33;
  return hash;
}

int CompareNames(std::u16string_view a, std::u16string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    const char16_t x = FoldCase(a[i]);
    const char16_t y = FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace tastora::winereg
