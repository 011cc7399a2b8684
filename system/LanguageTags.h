#pragma once
// The tag Windows names a language by in the user's language list ("en-US").

#include <cstdint>
#include <string>

namespace tastora {

class InputLanguageApi;

// Windows' own answer where it has one (`api` may be null), else the tag of
// the table here; empty for a language neither knows.
std::string LanguageTagOf(uint16_t language, InputLanguageApi* api);

}  // namespace tastora
