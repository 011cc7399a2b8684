#pragma once
// The string forms of Wine's registry text files: escaped names and string
// data (C escapes, octal, "\x" hexadecimal for anything above 127, UTF-8
// accepted on input), and the case-insensitive comparison of registry names.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tastora::winereg {

// Reads an escaped string from the start of `src` up to the unescaped
// `endChar`. Returns how many characters were consumed, the delimiter
// included; nothing when the delimiter is missing.
std::optional<size_t> ParseEscaped(std::string_view src, char endChar, std::u16string& out);

// The escaped form Wine writes: a backslash, `quote1` and `quote2` get a
// backslash in front.
std::string Escape(std::u16string_view text, char quote1, char quote2);

// Registry names compare without regard to case.
char16_t FoldCase(char16_t ch);
int CompareNames(std::u16string_view a, std::u16string_view b);
inline bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareNames(a, b) == 0;
}
// Equal for names that are the same name.
uint64_t HashName(std::u16string_view name);

}  // namespace tastora::winereg
