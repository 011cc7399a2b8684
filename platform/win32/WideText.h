#pragma once
// On Windows the program's own text (paths, names, messages) is UTF-8; every
// call into Windows takes and gives UTF-16. These are the two conversions.

#include <string>
#include <string_view>

namespace tastora {

// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::wstring Widen(std::string_view utf8);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view wide);

}  // namespace tastora
