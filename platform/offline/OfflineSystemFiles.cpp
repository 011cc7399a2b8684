#include "platform/offline/OfflineSystemFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/offline/HostFileSystem.h"
#include "platform/offline/HostFileWriter.h"

namespace tastora {
namespace fs = std::filesystem;

struct OfflineSystemFiles::State {
  OfflineRoot root;
  std::string systemDirectory;
  Processor machine;
  int offDepth = 0;  // DisableRedirection calls not reverted yet
  std::vector<FileOperation> failNext;
  std::function<bool(FileOperation, const std::string&)> veto;
};

namespace {

bool IsFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// The Windows read-only attribute, kept as the owner's write permission.
bool IsReadOnly(const fs::path& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  return !ec && (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

// A new, empty file beside `target`, to be renamed or linked over it.
int MakeTemporary(const fs::path& target, std::string& temp) {
  temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  return ::mkstemp(temp.data());
}

bool CopyBytes(const fs::path& from, int to) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(from.c_str(), "rb"), &std::fclose);
  if (!in) return false;
  std::vector<uint8_t> buffer(1u << 16);
  for (;;) {
    const size_t got = std::fread(buffer.data(), 1, buffer.size(), in.get());
    if (got > 0 && !WriteAll(to, buffer.data(), got)) return false;
    if (got < buffer.size()) return !std::ferror(in.get());
  }
}

}  // namespace

OfflineSystemFiles::OfflineSystemFiles(const OfflineRoot& root, const WindowsVersion& version, Processor machine)
    : state_(std::make_shared<State>(State{root, SystemDirectoryOf(version), machine, 0, {}, {}})) {}

std::unique_ptr<OfflineSystemFiles> OfflineSystemFiles::Share() const {
  return std::unique_ptr<OfflineSystemFiles>(new OfflineSystemFiles(state_));
}

bool OfflineSystemFiles::Redirected() const { return state_->offDepth == 0; }

std::optional<std::string> OfflineSystemFiles::HostPathOf(const std::string& path) const {
  if (path.empty()) return std::nullopt;
  const bool hasDrive = path.size() >= 2 && path[1] == ':';
  // A path rooted without a drive is on the current drive, C: here.
  const bool rooted = path[0] == '\\';
  if (!hasDrive && !rooted) return path;
  const auto host = state_->root.HostPath(rooted ? "C:" + path : path, Redirected());
  if (!host) return std::nullopt;
  return host->string();
}

bool OfflineSystemFiles::ShouldFail(FileOperation operation, const std::string& path) {
  auto& pending = state_->failNext;
  const auto found = std::find(pending.begin(), pending.end(), operation);
  if (found != pending.end()) {
    pending.erase(found);
    return true;
  }
  return state_->veto && state_->veto(operation, path);
}

void OfflineSystemFiles::FailNext(FileOperation operation) { state_->failNext.push_back(operation); }

void OfflineSystemFiles::SetVeto(std::function<bool(FileOperation, const std::string&)> veto) {
  state_->veto = std::move(veto);
}

std::string OfflineSystemFiles::SystemDirectory() { return state_->systemDirectory; }

bool OfflineSystemFiles::DisableRedirection() {
  // Only a 64-bit Windows has a native folder to switch to.
  if (!state_->root.Is64Bit() || ShouldFail(FileOperation::Redirect, "")) return false;
  ++state_->offDepth;
  return true;
}

void OfflineSystemFiles::RevertRedirection() {
  if (state_->offDepth > 0) --state_->offDepth;
}

bool OfflineSystemFiles::HasNativeFolder() { return state_->root.Is64Bit(); }

Processor OfflineSystemFiles::NativeMachine() { return state_->machine; }

bool OfflineSystemFiles::FileExists(const std::string& path) {
  const auto host = HostPathOf(path);
  return host && IsFile(*host);
}

bool OfflineSystemFiles::PathExists(const std::string& path) {
  const auto host = HostPathOf(path);
  return host && Exists(*host);
}

bool OfflineSystemFiles::RemoveFile(const std::string& path) {
  const auto host = HostPathOf(path);
  if (!host || !Exists(*host)) return true;
  if (ShouldFail(FileOperation::Remove, path)) return false;
  std::error_code ec;
  // DeleteFileA removes no folder.
  if (fs::is_directory(fs::symlink_status(*host, ec))) return false;
  return fs::remove(*host, ec) && !ec;
}

bool OfflineSystemFiles::CopyFile(const std::string& from, const std::string& to) {
  if (ShouldFail(FileOperation::Copy, to)) return false;
  const auto source = HostPathOf(from);
  const auto target = HostPathOf(to);
  if (!source || !target || !IsFile(*source) || Exists(*target)) return false;

  std::string temp;
  const int fd = MakeTemporary(*target, temp);
  if (fd < 0) return false;
  bool ok = CopyBytes(*source, fd);
  ok = ::close(fd) == 0 && ok;
  if (ok) {
    // CopyFileA carries the attributes over, the read-only one with them.
    std::error_code ec;
    fs::permissions(temp, fs::status(*source, ec).permissions(), ec);
    // A link fails when the target appeared meanwhile: the copy never replaces a file.
    fs::create_hard_link(temp, *target, ec);
    if (ec && ec != std::errc::file_exists && !Exists(*target)) {
      // A file system without hard links.
      ec.clear();
      fs::rename(temp, *target, ec);
    }
    ok = !ec;
  }
  ::unlink(temp.c_str());
  return ok;
}

std::optional<std::vector<uint8_t>> OfflineSystemFiles::ReadFile(const std::string& path, size_t maxBytes,
                                                                 bool openForWriting) {
  const auto host = HostPathOf(path);
  if (!host || !IsFile(*host)) return std::nullopt;
  if (openForWriting && IsReadOnly(*host)) return std::nullopt;
  return HostFileSystem().ReadFile(*host, maxBytes, openForWriting);
}

bool OfflineSystemFiles::SetAttributes(const std::string& path, uint32_t attributes) {
  const auto host = HostPathOf(path);
  return host && HostFileWriter().SetAttributes(*host, attributes);
}

FileWriter::Outcome OfflineSystemFiles::WriteWhole(const std::string& path, std::span<const uint8_t> bytes) {
  const auto host = HostPathOf(path);
  if (!host || ShouldFail(FileOperation::Open, path)) return Outcome::NotOpened;
  const fs::path target(*host);
  std::error_code ec;
  const bool exists = Exists(target);
  if (exists && (!IsFile(target) || IsReadOnly(target))) return Outcome::NotOpened;

  std::string temp;
  const int fd = MakeTemporary(target, temp);
  if (fd < 0) return Outcome::NotOpened;
  // A replaced file keeps its permissions; a new one gets the usual ones.
  const mode_t mode = exists ? mode_t(fs::status(target, ec).permissions()) : mode_t(0644);
  bool ok = ::fchmod(fd, mode) == 0 && !ShouldFail(FileOperation::Write, path) &&
            WriteAll(fd, bytes.data(), bytes.size());
  const bool closed = ::close(fd) == 0;
  ok = ok && closed && !ShouldFail(FileOperation::Close, path);
  ok = ok && !ShouldFail(FileOperation::Rename, path) && std::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return Outcome::WriteFailed;
  }
  return Outcome::Written;
}

}  // namespace tastora
