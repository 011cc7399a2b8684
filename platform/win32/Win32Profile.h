#pragma once
// INI files through GetPrivateProfileStringW and WritePrivateProfileStringW,
// names and values UTF-8 on our side.
//
// The settings files are 8-bit files and stay so: given a file without a
// UTF-16 byte-order mark (or none at all), WritePrivateProfileStringW stores
// text in the ANSI code page, and GetPrivateProfileStringW reads it back from
// there. A value whose characters are all in that code page reads back as it
// was written; any other character is stored as '?' (or the closest fit
// Windows picks) and is lost. The program's own values (layout identifiers,
// numbers, system file paths, font names of the system) are ASCII, or in the
// ANSI code page of the system they came from. A file someone saved as
// UTF-16 keeps that form and any character.

#include "platform/Profile.h"

namespace tastora {

class Win32Profile final : public Profile {
 public:
  std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& defaultValue) override;
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override;
  // The new text goes to a temporary file beside the old one, which
  // MoveFileExW then puts in its place, with the changes in the ANSI code
  // page as the profile functions would have written them. Where there is no
  // MoveFileExW (the 8-bit family), and for a Unicode file, the profile
  // functions write key by key.
  bool WriteKeys(const std::string& file, const std::string& section,
                 const std::vector<std::pair<std::string, std::optional<std::string>>>& changes) override;
  std::vector<std::string> ReadKeys(const std::string& file, const std::string& section) override;
};

// Removes what a program killed during WriteKeys left of the settings files
// it writes: their temporary files.
void RemoveProfileTemporaries();

}  // namespace tastora
