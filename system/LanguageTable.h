#pragma once
// LanguageTable: language identifiers (upper-case hexadecimal) with a
// two-letter tag and the English name, as "tag;name". The order is fixed:
// lookups take the first row whose key matches, and one key (0449) appears
// twice.

#include <array>
#include <string_view>

namespace tastora {

struct LanguageRow {
  std::string_view key;
  std::string_view value;
};

inline constexpr size_t kLanguageTableRows = 160;
extern const std::array<LanguageRow, kLanguageTableRows> LanguageTable;

}  // namespace tastora
