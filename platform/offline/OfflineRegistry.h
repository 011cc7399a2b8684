#pragma once
// The registry of a Windows root: HKEY_LOCAL_MACHINE in system.reg,
// HKEY_CURRENT_USER in user.reg. A file is read whole when it changed on
// disk, and written back whole (a temporary file, then a rename) at every
// change, so another program sharing the root sees each change at once.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/RegistryBackend.h"
#include "platform/offline/OfflineRoot.h"
#include "platform/offline/WineRegistryFile.h"

namespace tastora {

// One registry file on disk.
class RegistryHive {
 public:
  explicit RegistryHive(std::filesystem::path file) : file_(std::move(file)) {}

  const std::filesystem::path& File() const { return file_; }
  // Reads the file again when it changed on disk. False, with a message
  // naming the file and line, when it cannot be read or is malformed.
  bool Refresh(std::string& error);
  // The content after a successful Refresh.
  WineRegistryFile& Content() { return *content_; }
  // Writes the content back. On failure the file is left as it was and the
  // content is dropped, to be read again.
  bool Save(std::string& error);

 private:
  struct Stamp {
    std::filesystem::file_time_type time{};
    uintmax_t size = 0;
    uintmax_t inode = 0;
    bool operator==(const Stamp&) const = default;
  };
  std::optional<Stamp> StampOnDisk() const;

  std::filesystem::path file_;
  std::unique_ptr<WineRegistryFile> content_;
  Stamp stamp_;
};

class OfflineRegistry final : public RegistryBackend {
 public:
  // Names and string data are converted with the system code page (0) of
  // `codePages`; a registry file that turns malformed while the program runs
  // is reported through `dialogs`.
  OfflineRegistry(const OfflineRoot& root, CodePages& codePages, Dialogs& dialogs);

  // Reads both registry files; false with a message when one cannot be used.
  bool Load(std::string& error);

  std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, bool create) override;

 private:
  friend class OfflineRegistryKey;
  // The hive for `root` and the path of the root's key inside it.
  RegistryHive* HiveOf(RootKey root, std::vector<std::u16string>& path);
  bool Ready(RegistryHive& hive);
  std::u16string Wide(const std::string& text) const;
  std::string Narrow(std::u16string_view text) const;

  RegistryHive machine_;
  RegistryHive user_;
  CodePages& codePages_;
  Dialogs& dialogs_;
  std::string lastReported_;
};

}  // namespace tastora
