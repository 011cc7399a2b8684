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
};

}  // namespace tastora
