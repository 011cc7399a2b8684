#pragma once
// INI files of a Windows root, with the semantics of the Windows profile
// functions: a bare file name is in the Windows folder, sections and keys
// match regardless of case, values lose surrounding blanks and one pair of
// surrounding quotes, and a write changes one line and keeps all others.

#include <filesystem>

#include "platform/Profile.h"
#include "platform/offline/OfflineRoot.h"

namespace tastora {

class OfflineProfile final : public Profile {
 public:
  explicit OfflineProfile(OfflineRoot root) : root_(std::move(root)) {}

  std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& defaultValue) override;
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override;
  // The new text goes to a temporary file beside the old one, which it then
  // replaces by a rename.
  bool WriteKeys(const std::string& file, const std::string& section,
                 const std::vector<std::pair<std::string, std::optional<std::string>>>& changes) override;
  std::vector<std::string> ReadKeys(const std::string& file, const std::string& section) override;

  // Where a profile file of that name is on the host.
  std::filesystem::path HostPathOf(const std::string& file) const;

 private:
  OfflineRoot root_;
};

}  // namespace tastora
