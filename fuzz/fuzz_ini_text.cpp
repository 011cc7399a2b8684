// Feeds arbitrary text to the INI reading and changing the profile ports
// share, and to the integer form of the settings. A key that is set reads
// back as set, and no other key of the file reads differently.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/IniText.h"
#include "platform/Profile.h"

namespace {

// A plain name or value from one input byte: letters and digits only, so
// that the text it is written as reads back as that name or value.
std::string Plain(uint8_t byte, const char* stem) {
  static constexpr char kChars[] = "AbCdEfGh0123456789";
  return std::string(stem) + kChars[byte % 18] + kChars[(byte / 18) % 18];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const std::string section = Plain(data[0], data[0] & 0x80 ? "Existing" : "s");
  const std::string key = Plain(data[1], "k");
  const std::string other = Plain(data[2], "k");
  const std::string value = Plain(data[3], "v");
  const std::string_view text(reinterpret_cast<const char*>(data + 4), size - 4);

  if (const auto number = tastora::ParseProfileInteger(text); number && text.find('$') == std::string_view::npos) {
    if (tastora::ParseProfileInteger(std::to_string(*number)) != number) std::abort();
  }

  const std::string changed = tastora::ChangeIniText(text, section, {{key, value}});
  if (tastora::FindIniValue(changed, section, key) != value) std::abort();
  if (other != key &&
      tastora::FindIniValue(changed, section, other) != tastora::FindIniValue(text, section, other))
    std::abort();
  if (tastora::FindIniValue(changed, "Elsewhere", key) != tastora::FindIniValue(text, "Elsewhere", key)) std::abort();
  return 0;
}
