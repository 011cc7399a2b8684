#pragma once
// The text of an INI file as the Windows profile functions read and change
// it: sections and keys match regardless of case, a value loses surrounding
// blanks and one pair of surrounding quotes, and a change touches only the
// lines of its keys. Shared by the profile ports that replace a file whole.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tastora {

// A key and its new value; no value removes the key.
using IniChange = std::pair<std::string, std::optional<std::string>>;

// The value of `key` in `section`, or nothing.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key);

// The keys of `section`, in the file's order.
std::vector<std::string> IniKeys(std::string_view text, std::string_view section);

// `text` with the changes made in `section` (made when it is missing): a key
// that is there changes in its line, a new key goes after the last line of
// its section. New lines take the file's own line ends; a new file gets
// Windows ones.
std::string ChangeIniText(std::string_view text, std::string_view section, const std::vector<IniChange>& changes);

}  // namespace tastora
