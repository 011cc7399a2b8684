#pragma once
// INI files through the platform's profile functions: a file named without a
// folder lives in the Windows folder; sections and keys match regardless of
// case; every call opens the file, reads or writes and closes it, so nothing
// is cached. A missing file or key gives the default.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tastora {

// Integer text as the settings read it: an optional sign, then decimal
// digits, or "$" and up to eight hexadecimal digits (taken as a 32-bit
// pattern, so "$FFFFFFFF" is -1). Anything else, or a decimal number outside
// 32 bits, is not an integer.
inline std::optional<int32_t> ParseProfileInteger(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const bool hex = i < text.size() && text[i] == '$';
  if (hex) ++i;
  if (i == text.size()) return std::nullopt;
  uint64_t magnitude = 0;
  size_t digits = 0;
  for (; i < text.size(); ++i, ++digits) {
    const char c = text[i];
    unsigned d;
    if (c >= '0' && c <= '9') d = unsigned(c - '0');
    else if (hex && c >= 'a' && c <= 'f') d = unsigned(c - 'a' + 10);
    else if (hex && c >= 'A' && c <= 'F') d = unsigned(c - 'A' + 10);
    else return std::nullopt;
    magnitude = magnitude * (hex ? 16 : 10) + d;
    if (hex ? digits >= 8 : magnitude > 0x80000000ull) return std::nullopt;
  }
  if (hex) {
    const auto pattern = static_cast<uint32_t>(negative ? 0u - uint32_t(magnitude) : uint32_t(magnitude));
    return static_cast<int32_t>(pattern);
  }
  if (!negative && magnitude > 0x7FFFFFFFull) return std::nullopt;
  return static_cast<int32_t>(negative ? -int64_t(magnitude) : int64_t(magnitude));
}

class Profile {
 public:
  virtual ~Profile() = default;
  virtual std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string& defaultValue) = 0;
  // False when the file could not be written.
  virtual bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& value) = 0;
  // Sets (or, without a value, removes) several keys of one section by one
  // replacement of the file: a program killed meanwhile leaves the file with
  // all of the changes or none. False when the file could not be written; it
  // is then as it was.
  virtual bool WriteKeys(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::optional<std::string>>>& changes) = 0;
  // The keys of a section, in the file's order; none where the file cannot be read.
  virtual std::vector<std::string> ReadKeys(const std::string& file, const std::string& section) {
    (void)file;
    (void)section;
    return {};
  }

  int32_t ReadInteger(const std::string& file, const std::string& section, const std::string& key,
                      int32_t defaultValue) {
    return ParseProfileInteger(ReadString(file, section, key, "")).value_or(defaultValue);
  }
  // Booleans are integers: any non-zero number is true.
  bool ReadBool(const std::string& file, const std::string& section, const std::string& key, bool defaultValue) {
    return ReadInteger(file, section, key, defaultValue ? 1 : 0) != 0;
  }
  bool WriteInteger(const std::string& file, const std::string& section, const std::string& key, int32_t value) {
    return WriteString(file, section, key, std::to_string(value));
  }
  bool WriteBool(const std::string& file, const std::string& section, const std::string& key, bool value) {
    return WriteString(file, section, key, value ? "1" : "0");
  }
};

}  // namespace tastora
