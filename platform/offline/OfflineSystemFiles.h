#pragma once
// The files of a Windows root, by Windows path, as a 32-bit program on that
// Windows sees them: on a 64-bit root "C:\windows\system32" is syswow64 until
// redirection is switched off. One object is the root's SystemFiles,
// FileSystem and FileWriter, so that every file operation follows the same
// switch. Copies made with Share() are handles on the same state (root,
// switch, fault hook), so the ports of one session can each own one.
//
// Paths with a drive letter are inside the root (mapped with
// OfflineRoot::HostPath, case-insensitively); any other path is a host path,
// as the files a user names on the command line are.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "model/ProcessState.h"
#include "platform/FileWriter.h"
#include "platform/Platform.h"
#include "platform/SystemFiles.h"
#include "platform/offline/OfflineRoot.h"

namespace tastora {

// The steps at which the fault hook can make a file operation fail.
enum class FileOperation {
  Open,    // WriteWhole cannot create its file: NotOpened
  Write,   // WriteWhole's write fails: WriteFailed
  Close,   // WriteWhole's close (flush) fails: WriteFailed
  Rename,  // WriteWhole cannot put the written file in place: WriteFailed, the old file stays
  Copy,    // CopyFile fails, nothing is created
  Remove,  // RemoveFile fails, the file stays
  Redirect,  // DisableRedirection fails on a 64-bit root (asked with an empty path)
};

class OfflineSystemFiles final : public SystemFiles, public FileSystem, public FileWriter {
 public:
  // `version` decides the system directory (system32, or system on the 8-bit
  // family); `machine` is the root's processor (RootMachine).
  OfflineSystemFiles(const OfflineRoot& root, const WindowsVersion& version, Processor machine);

  // Another handle on the same root, switch and fault hook.
  std::unique_ptr<OfflineSystemFiles> Share() const;

  // The host path a Windows path (or host path) stands for now, with the
  // switch as it is; nothing for a path that cannot be mapped.
  std::optional<std::string> HostPathOf(const std::string& path) const;
  bool Redirected() const;

  // SystemFiles. DisableRedirection succeeds only on a 64-bit root; switching
  // nests as the Windows pair does (each revert restores the state before
  // its disable).
  std::string SystemDirectory() override;
  bool DisableRedirection() override;
  void RevertRedirection() override;
  // A 64-bit root.
  bool HasNativeFolder() override;
  Processor NativeMachine() override;
  // A file, not a folder.
  bool FileExists(const std::string& path) override;
  bool PathExists(const std::string& path) override;
  // Fails when `to` exists; a copy that fails leaves nothing behind.
  bool CopyFile(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;

  // FileSystem. A file without the owner's write permission is read-only, as
  // the Windows attribute, even for a host user who could write it anyway.
  std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes,
                                               bool openForWriting) override;

  // FileWriter. The bytes go to a temporary file in the target's folder that
  // then replaces the target, so a failed write never leaves half a file. A
  // read-only target is not opened, as on Windows.
  bool SetAttributes(const std::string& path, uint32_t attributes) override;
  Outcome WriteWhole(const std::string& path, std::span<const uint8_t> bytes) override;

  // Test hook, for tests that need a file operation to fail. FailNext makes
  // the next operation of that kind fail, once per call. The veto is asked
  // before every operation with the path as the caller gave it (for Copy,
  // the target) and fails it by returning true. Shared by all handles.
  void FailNext(FileOperation operation);
  void SetVeto(std::function<bool(FileOperation, const std::string&)> veto);

 private:
  struct State;
  explicit OfflineSystemFiles(std::shared_ptr<State> state) : state_(std::move(state)) {}
  bool ShouldFail(FileOperation operation, const std::string& path);

  std::shared_ptr<State> state_;
};

}  // namespace tastora
