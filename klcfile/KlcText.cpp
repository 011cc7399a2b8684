#include "klcfile/KlcText.h"

#include <cstdint>
#include <vector>

#include "klcfile/KlcFile.h"
#include "klcfile/KlcFormat.h"

namespace tastora {
namespace klc {

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    else if (c >= 0xD800 && c < 0xE000)
      c = 0xFFFD;
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const uint8_t b = uint8_t(text[i]);
    const int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    uint32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    bool good = extra >= 0;
    for (int k = 1; good && k <= extra; ++k) {
      if (i + size_t(k) >= text.size() || (uint8_t(text[i + size_t(k)]) >> 6) != 2) good = false;
      else c = (c << 6) | (uint8_t(text[i + size_t(k)]) & 0x3F);
    }
    if (!good || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    i += size_t(extra) + 1;
    if (c >= 0x10000) {
      out += char16_t(0xD800 + ((c - 0x10000) >> 10));
      out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}

bool SameKeyword(std::u16string_view text, std::string_view keyword) {
  if (text.size() != keyword.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t a = text[i];
    char b = keyword[i];
    if (a >= u'a' && a <= u'z') a = char16_t(a - 32);
    if (b >= 'a' && b <= 'z') b = char(b - 32);
    if (a != char16_t(b)) return false;
  }
  return true;
}

}  // namespace klc

std::u16string DecodeKlcText(std::span<const uint8_t> bytes) {
  std::u16string out;
  const bool le = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  const bool be = bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
  if (le || be) {
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      out += le ? char16_t(bytes[i] | (bytes[i + 1] << 8)) : char16_t((bytes[i] << 8) | bytes[i + 1]);
    return out;
  }
  size_t from = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
  return klc::FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()) + from, bytes.size() - from));
}

std::vector<uint8_t> EncodeKlcText(std::u16string_view text) {
  std::vector<uint8_t> out{0xFF, 0xFE};
  out.reserve(2 + 2 * text.size());
  for (char16_t c : text) {
    out.push_back(uint8_t(c & 0xFF));
    out.push_back(uint8_t(c >> 8));
  }
  return out;
}

bool IsKlcFile(std::span<const uint8_t> head) {
  const std::u16string text = DecodeKlcText(head);
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n')) ++i;
    const bool comment = text.compare(i, 2, u"//") == 0 || (i < text.size() && text[i] == u';');
    if (!comment) break;
    while (i < text.size() && text[i] != u'\n') ++i;
  }
  return text.size() >= i + 4 && klc::SameKeyword(text.substr(i, 3), "KBD") &&
         (text[i + 3] == u' ' || text[i + 3] == u'\t');
}

bool IsKlcFileName(const std::string& path) {
  return path.size() >= 4 && klc::SameKeyword(klc::FromUtf8(path.substr(path.size() - 4)), ".klc");
}

std::u16string KlcHeader::LayoutName() const {
  for (const auto& [language, text] : descriptions)
    if (!text.empty()) return text;
  return description;
}

std::string DescribeKlcProblems(const std::vector<KlcProblem>& problems) {
  // Enough to see what kind of file it is; a box of thousands of lines helps nobody.
  constexpr size_t kShown = 20;
  std::string text;
  for (size_t i = 0; i < problems.size() && i < kShown; ++i)
    text += (problems[i].line > 0 ? "line " + std::to_string(problems[i].line) + ": " : std::string()) +
            problems[i].text + "\r";
  if (problems.size() > kShown) text += "and " + std::to_string(problems.size() - kShown) + " more\r";
  return text;
}

}  // namespace tastora
