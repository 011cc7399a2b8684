#pragma once
// The registry of a Windows root: HKEY_LOCAL_MACHINE in system.reg,
// HKEY_CURRENT_USER in user.reg. Each file is read once and kept parsed;
// it is read again only by RefreshIfChanged, when another program replaced
// it. A change is written back whole (a temporary file, then a rename) at
// once, or, inside BeginWrites/EndWrites, with every other change of the
// action: each changed file once, system.reg before user.reg.

#include <sys/types.h>

#include <array>
#include <ctime>
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

// One registry file on disk and what was read from it.
class RegistryHive {
 public:
  explicit RegistryHive(std::filesystem::path file) : file_(std::move(file)) {}

  const std::filesystem::path& File() const { return file_; }
  bool Loaded() const { return content_ != nullptr; }
  // Reads the file when it is not held, or when it is no longer the file
  // that was read (inode, size or modification time differ). Changes not
  // written yet are made again on what is read. False, with a message
  // naming the file and line, when it cannot be read or is malformed.
  bool Refresh(std::string& error);
  // The content after a successful Refresh.
  WineRegistryFile& Content() { return *content_; }
  // Changes whenever the content is read anew or dropped: keys found in
  // the content before are not there any more.
  uint64_t Generation() const { return generation_; }

  // A change made to Content, noted to be made again on the file should
  // another program replace it before the change is written.
  enum class ChangeKind { CreateKey, SetValue, RemoveValue, RemoveKey };
  void Changed(ChangeKind kind, std::vector<std::u16string> path, WineRegistryFile::Value value = {});
  bool HasChanges() const { return !pending_.empty(); }
  // Writes the content back when it has changes. On failure the file is
  // left as it was and the changes are dropped; the file is read again at
  // its next use.
  bool Write(std::string& error);
  // What tells one version of the file from another.
  struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    bool operator==(const Stamp& o) const {
      return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
             modified.tv_nsec == o.modified.tv_nsec;
    }
  };
  // Write in two steps: the content in a temporary file beside the file,
  // then that file put in its place. Each fails as Write does; a failed
  // Install leaves the temporary file to the caller.
  struct Prepared {
    std::string temp;
    Stamp stamp;  // of the temporary file, which becomes the file
  };
  bool Prepare(Prepared& out, std::string& error);
  bool Install(const Prepared& prepared, std::string& error);
  // Forgets the content and the changes not written.
  void Drop();

 private:
  struct Change {
    ChangeKind kind;
    std::vector<std::u16string> path;
    WineRegistryFile::Value value;  // for RemoveValue its name only
  };
  bool Read(std::string& error);

  std::filesystem::path file_;
  std::unique_ptr<WineRegistryFile> content_;
  Stamp stamp_;
  std::vector<Change> pending_;  // made since the last write, in order
  uint64_t generation_ = 0;
};

class OfflineRegistry final : public RegistryBackend {
 public:
  // Names and string data are converted with the system code page (0) of
  // `codePages`; a registry file that cannot be read or written while the
  // program runs is reported through `dialogs`.
  OfflineRegistry(const OfflineRoot& root, CodePages& codePages, Dialogs& dialogs);
  // Writes what an unfinished EndWrites still holds.
  ~OfflineRegistry() override;

  // Reads both registry files; false with a message when one cannot be used.
  bool Load(std::string& error);

  // After taking the system's lock, an action calls this (through
  // RegistryBackend): besides reading again what another program changed,
  // it finishes the writes of an action that was cut short between the
  // machine's file and the user's.

  std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, bool create) override;
  bool DeleteKey(RootKey root, const std::string& path) override;
  bool RefreshIfChanged() override;
  void BeginWrites() override;
  bool EndWrites() override;

 private:
  friend class OfflineRegistryKey;
  // The hive for `root` and the path of the root's key inside it.
  RegistryHive* HiveOf(RootKey root, std::vector<std::u16string>& path);
  // The hive and the full path in it of `path` under `root`, the hive read;
  // nothing for a root without a hive, a malformed path or a hive that
  // cannot be read.
  RegistryHive* Resolve(RootKey root, const std::string& path, std::vector<std::u16string>& full);
  bool Ready(RegistryHive& hive);
  // After a change to `hive`: written now, or at the end of the writes held.
  bool Changed(RegistryHive& hive);
  bool WriteHives();
  // Where the user's new file waits while the machine's is put in place.
  std::filesystem::path WaitingUserFile(ino_t machineInode) const;
  // Puts the waiting user's file of an action cut short after the machine's
  // file in place; throws away one whose machine's file never was.
  void FinishInterruptedWrite();
  void Report(const std::string& error);
  // The system code page, asked once per character: every name and string
  // of the registry goes through it.
  char16_t Wide(uint8_t ch) const { return wide_[ch]; }
  uint8_t Narrow(char16_t ch);
  std::u16string Wide(std::string_view text) const;
  std::string Narrow(std::u16string_view text);

  RegistryHive machine_;
  RegistryHive user_;
  CodePages& codePages_;
  Dialogs& dialogs_;
  std::string lastReported_;
  int heldWrites_ = 0;
  std::array<char16_t, 256> wide_{};
  std::vector<uint16_t> narrow_;  // by UTF-16 unit; kNotAsked until asked

};

}  // namespace tastora
