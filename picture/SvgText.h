#pragma once
// Text as an SVG document may carry it: markup characters escaped, and the
// characters a keycap cannot show (controls, invisible spaces, a combining
// mark without a letter to sit on) turned into something a reader can see.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tastora {

// `text` (UTF-8) with & < > " ' as character references: safe in element
// content and in attribute values alike. Bytes that are not UTF-8 and
// characters XML cannot carry become U+FFFD.
std::string XmlEscaped(std::string_view text);

// One code point appended to `out` as UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);

// What a keycap shows for the UTF-16 units a keystroke types.
struct CapText {
  std::string text;    // UTF-8, not yet escaped
  bool named = false;  // some character is shown by its name or number, not as itself
};

// Surrogate pairs are joined; a control or an invisible character becomes
// its short name ("ESC", "NBSP"), a character XML cannot carry (an unpaired
// surrogate, U+FFFE, a C1 control) becomes "U+XXXX", and a combining mark
// with nothing before it to combine with sits on a dotted circle (U+25CC).
CapText KeyCapText(std::span<const uint16_t> units);

// Whether the code point combines with the character before it.
bool IsCombiningMark(uint32_t codePoint);

}  // namespace tastora
