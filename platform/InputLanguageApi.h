#pragma once
// The user's language list of Windows 8 and later, as Windows changes it
// itself: InstallLayoutOrTip of input.dll, and the language tag of a
// language. Windows before 8, Wine and a root folder have no such function;
// the system then writes the list's registry keys itself.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tastora {

// InstallLayoutOrTip's flags (not in a public header).
inline constexpr uint32_t kIlotUninstall = 0x00000001;

class InputLanguageApi {
 public:
  virtual ~InputLanguageApi() = default;
  // Calls InstallLayoutOrTip with `list` ("LLLL:KKKKKKKK[;...]") and
  // `flags`: whether it succeeded, or no value where the function is missing.
  virtual std::optional<bool> InstallLayoutOrTip(std::string_view list, uint32_t flags) = 0;
  // The language's tag as Windows names it ("en-US"); empty when unknown.
  virtual std::string LanguageTag(uint16_t language) = 0;
};

}  // namespace tastora
