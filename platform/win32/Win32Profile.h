#pragma once
// INI files through GetPrivateProfileStringA and WritePrivateProfileStringA.

#include "platform/Profile.h"

namespace tastora {

class Win32Profile final : public Profile {
 public:
  std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& defaultValue) override;
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override;
  // The new text goes to a temporary file beside the old one, which
  // MoveFileExA then puts in its place. Where there is no MoveFileExA (the
  // 8-bit family), and for a Unicode file, the profile functions write key by key.
  bool WriteKeys(const std::string& file, const std::string& section,
                 const std::vector<std::pair<std::string, std::optional<std::string>>>& changes) override;
};

// Removes what a program killed during WriteKeys left of the settings files
// it writes: their temporary files.
void RemoveProfileTemporaries();

}  // namespace tastora
