#include "system/CreatedLayouts.h"

#include "platform/Profile.h"
#include "system/LayoutInstaller.h"

namespace tastora {

bool RecordCreatedLayout(Profile& profile, const std::string& klid, const std::string& copyName) {
  return profile.WriteKeys(kLoaderIni, kCreatedSection, {{klid, copyName}});
}

std::optional<std::string> CreatedLayoutCopy(Profile& profile, const std::string& klid) {
  std::string copy = profile.ReadString(kLoaderIni, kCreatedSection, klid, "");
  if (copy.empty()) return std::nullopt;
  return copy;
}

bool IsNewLayoutCopyName(std::string_view name, bool ntPlatform) {
  const std::string_view extension = ntPlatform ? ".dll" : ".kbd";
  if (name.size() < 3 + 1 + extension.size() || !SamePath(name.substr(0, 3), "KBD") ||
      !SamePath(name.substr(name.size() - extension.size()), extension))
    return false;
  const std::string_view number = name.substr(3, name.size() - 3 - extension.size());
  for (char c : number)
    if (c < '0' || c > '9') return false;
  // Windows' own libraries of the 101-, 103- and 106-key Japanese and Korean
  // keyboards have such names; New never takes them, as they are present.
  return number != "101" && number != "103" && number != "106";
}

}  // namespace tastora
