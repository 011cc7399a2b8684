#include "platform/offline/OfflineRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace tastora {
namespace fs = std::filesystem;
namespace {

constexpr size_t kMaxKeyNameLength = 255;
constexpr uint16_t kNotAsked = 0xFFFF;
// ".user.reg" + this + the inode of the machine's file it belongs with: a
// name no temporary file of ours has.
constexpr char kWaitingInfix[] = ".after-";

uint64_t FileTimeNow() {
  const auto since1970 =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch());
  return (uint64_t(since1970.count()) + 11644473600000000ull) * 10u;
}

bool IsStringType(uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// The folder's entry for a renamed file reaches the disk before the next
// file is written, so that the files change on disk in the order written.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool RegistryHive::Read(std::string& error) {
  // Not blocking: a FIFO in the file's place is refused, not waited on.
  const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) ::close(fd);
    Drop();
    error = "cannot read " + file_.string();
    return false;
  }
  std::string text(size_t(st.st_size), '\0');
  size_t done = 0;
  bool ok = true;
  for (;;) {
    if (done == text.size()) text.resize(text.size() + 4096);  // grown since the stat
    const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    done += size_t(n);
  }
  ::close(fd);
  text.resize(done);
  if (!ok) {
    Drop();
    error = "cannot read " + file_.string();
    return false;
  }

  WineRegistryFile::Error parseError;
  auto content = WineRegistryFile::Parse(text, parseError);
  if (!content) {
    Drop();
    error = file_.string() + ":" + std::to_string(parseError.line) + ": " + parseError.reason;
    return false;
  }
  // Changes not written yet go onto the file as it is now.
  for (const Change& change : pending_) {
    if (change.kind == ChangeKind::CreateKey || change.kind == ChangeKind::SetValue) {
      WineRegistryFile::Key* key = content->Create(change.path);
      if (change.kind == ChangeKind::SetValue) content->SetValue(*key, change.value);
    } else if (WineRegistryFile::Key* key = content->Find(change.path)) {
      if (change.kind == ChangeKind::RemoveValue) content->RemoveValue(*key, change.value.name);
      else content->RemoveKey(*key);
    }
  }
  content_ = std::move(content);
  ++generation_;
  stamp_ = Stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
  return true;
}

bool RegistryHive::Refresh(std::string& error) {
  if (content_) {
    struct stat st {};
    if (::stat(file_.c_str(), &st) == 0 && stamp_ == Stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim}) return true;
  }
  return Read(error);
}

void RegistryHive::Changed(ChangeKind kind, std::vector<std::u16string> path, WineRegistryFile::Value value) {
  // A key taken out of the content must not be found through an open key.
  if (kind == ChangeKind::RemoveKey) ++generation_;
  pending_.push_back(Change{kind, std::move(path), std::move(value)});
}

void RegistryHive::Drop() {
  if (content_) ++generation_;
  content_.reset();
  pending_.clear();
}

bool RegistryHive::Prepare(Prepared& out, std::string& error) {
  // Another program may have replaced the file since it was read: the
  // changes go onto its version, not over it.
  if (!Refresh(error)) return false;
  const std::string text = content_->Serialize(FileTimeNow());

  out.temp = (file_.parent_path() / ("." + file_.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(out.temp.data());
  if (fd < 0) {
    Drop();
    error = "cannot write " + file_.string();
    return false;
  }
  struct stat old {};
  struct stat written {};
  const bool ok = (::stat(file_.c_str(), &old) != 0 || ::fchmod(fd, old.st_mode & 07777) == 0) &&
                  WriteAll(fd, text) && ::fsync(fd) == 0 && ::fstat(fd, &written) == 0;
  if (::close(fd) != 0 || !ok) {
    ::unlink(out.temp.c_str());
    Drop();
    error = "cannot write " + file_.string();
    return false;
  }
  out.stamp = Stamp{written.st_dev, written.st_ino, written.st_size, written.st_mtim};
  return true;
}

bool RegistryHive::Install(const Prepared& prepared, std::string& error) {
  if (std::rename(prepared.temp.c_str(), file_.c_str()) != 0) {
    Drop();
    error = "cannot write " + file_.string();
    return false;
  }
  SyncFolder(file_.parent_path());
  // What is held is what is on disk now: no need to read it back.
  stamp_ = prepared.stamp;
  pending_.clear();
  return true;
}

bool RegistryHive::Write(std::string& error) {
  if (pending_.empty()) return true;
  Prepared prepared;
  if (!Prepare(prepared, error)) return false;
  if (Install(prepared, error)) return true;
  ::unlink(prepared.temp.c_str());
  return false;
}

// An open key: its hive and path. The key is looked up again only when the
// hive's content was read anew (RefreshIfChanged) or dropped.
class OfflineRegistryKey final : public RegistryKey {
 public:
  OfflineRegistryKey(OfflineRegistry& registry, RegistryHive& hive, std::vector<std::u16string> path)
      : registry_(registry), hive_(hive), path_(std::move(path)) {}

  std::optional<RegistryData> QueryValue(const std::string& name) override {
    WineRegistryFile::Key* key = Locate();
    if (!key) return std::nullopt;
    const WineRegistryFile::Value* value = hive_.Content().FindValue(*key, registry_.Wide(std::string_view(name)));
    if (!value) return std::nullopt;
    RegistryData data{value->type, {}};
    if (IsStringType(value->type)) {
      data.bytes.reserve(value->data.size() / 2);
      for (size_t i = 0; i + 1 < value->data.size(); i += 2) {
        const auto unit = uint16_t(value->data[i] | (value->data[i + 1] << 8));
        data.bytes.push_back(unit == 0 ? uint8_t(0) : registry_.Narrow(char16_t(unit)));
      }
    } else {
      data.bytes = value->data;
    }
    return data;
  }

  bool SetValue(const std::string& name, const RegistryData& data) override {
    WineRegistryFile::Key* key = Locate();
    if (!key) return false;
    WineRegistryFile::Value value{registry_.Wide(std::string_view(name)), data.type, {}};
    if (IsStringType(data.type)) {
      value.data.reserve(data.bytes.size() * 2);
      for (uint8_t byte : data.bytes) {
        const uint16_t unit = byte == 0 ? 0 : registry_.Wide(byte);
        value.data.push_back(uint8_t(unit & 0xFF));
        value.data.push_back(uint8_t(unit >> 8));
      }
    } else {
      value.data = data.bytes;
    }
    if (!hive_.Content().SetValue(*key, value)) return true;
    hive_.Changed(RegistryHive::ChangeKind::SetValue, path_, std::move(value));
    return registry_.Changed(hive_);
  }

  bool DeleteValue(const std::string& name) override {
    if (!registry_.Ready(hive_)) return false;
    WineRegistryFile::Key* key = Locate();
    WineRegistryFile::Value value{registry_.Wide(std::string_view(name)), kRegNone, {}};
    if (!key || !hive_.Content().RemoveValue(*key, value.name)) return true;  // not there
    hive_.Changed(RegistryHive::ChangeKind::RemoveValue, path_, std::move(value));
    return registry_.Changed(hive_);
  }

  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    if (WineRegistryFile::Key* key = Locate()) {
      names.reserve(key->values.size());
      for (const auto& slot : key->values)
        if (!slot.removed) names.push_back(registry_.Narrow(slot.value.name));
    }
    return names;
  }

  std::vector<std::string> SubkeyNames() override {
    std::vector<std::string> names;
    if (WineRegistryFile::Key* key = Locate()) {
      names.reserve(key->subkeys.size());
      for (const auto& sub : key->subkeys) names.push_back(registry_.Narrow(sub->name));
    }
    return names;
  }

 private:
  WineRegistryFile::Key* Locate() {
    if (!registry_.Ready(hive_)) return nullptr;
    // Keys are never removed from a content: found once, found for its life.
    if (!found_ || generation_ != hive_.Generation()) {
      found_ = hive_.Content().Find(path_);
      generation_ = hive_.Generation();
    }
    return found_;
  }

  OfflineRegistry& registry_;
  RegistryHive& hive_;
  std::vector<std::u16string> path_;
  WineRegistryFile::Key* found_ = nullptr;
  uint64_t generation_ = 0;
};

OfflineRegistry::OfflineRegistry(const OfflineRoot& root, CodePages& codePages, Dialogs& dialogs)
    : machine_(root.MachineRegistryFile()), user_(root.UserRegistryFile()), codePages_(codePages), dialogs_(dialogs) {
  for (size_t ch = 0; ch < wide_.size(); ++ch) wide_[ch] = char16_t(codePages_.NarrowToWide(uint8_t(ch), 0));
}

OfflineRegistry::~OfflineRegistry() {
  if (machine_.HasChanges() || user_.HasChanges()) WriteHives();
}

bool OfflineRegistry::Load(std::string& error) { return machine_.Refresh(error) && user_.Refresh(error); }

void OfflineRegistry::Report(const std::string& error) {
  // Once per fault: every key of the catalogue would report it again.
  if (error != lastReported_) dialogs_.ShowError(error, "");
  lastReported_ = error;
}

bool OfflineRegistry::Ready(RegistryHive& hive) {
  if (hive.Loaded()) return true;
  std::string error;
  if (hive.Refresh(error)) return true;
  Report(error);
  return false;
}

bool OfflineRegistry::RefreshIfChanged() {
  FinishInterruptedWrite();
  bool ok = true;
  for (RegistryHive* hive : {&machine_, &user_}) {
    std::string error;
    if (hive->Refresh(error)) continue;
    Report(error);
    ok = false;
  }
  return ok;
}

void OfflineRegistry::BeginWrites() { ++heldWrites_; }

bool OfflineRegistry::EndWrites() {
  if (heldWrites_ > 0 && --heldWrites_ > 0) return true;
  return WriteHives();
}

bool OfflineRegistry::Changed(RegistryHive& hive) {
  if (heldWrites_ > 0) return true;
  std::string error;
  if (hive.Write(error)) return true;
  dialogs_.ShowError(error, "");
  return false;
}

// The user's file names what the machine's file registers, so the
// machine's goes first, and the user's not at all when it failed. When both
// changed, the user's new file is made first and waits beside it under a
// name that says which machine file it belongs with: a program killed
// between the two replacements leaves what the next one needs to finish.
bool OfflineRegistry::WriteHives() {
  std::string error;
  const auto fail = [&] {
    dialogs_.ShowError(error, "");
    return false;
  };
  if (!machine_.HasChanges() || !user_.HasChanges()) {
    if (!machine_.Write(error)) {
      user_.Drop();
      return fail();
    }
    return user_.Write(error) || fail();
  }

  RegistryHive::Prepared machine;
  RegistryHive::Prepared user;
  if (!machine_.Prepare(machine, error)) {
    user_.Drop();
    return fail();
  }
  if (!user_.Prepare(user, error)) {
    ::unlink(machine.temp.c_str());
    machine_.Drop();
    return fail();
  }
  const std::string waiting = WaitingUserFile(machine.stamp.inode).string();
  if (std::rename(user.temp.c_str(), waiting.c_str()) != 0) {
    ::unlink(user.temp.c_str());
    ::unlink(machine.temp.c_str());
    machine_.Drop();
    user_.Drop();
    error = "cannot write " + user_.File().string();
    return fail();
  }
  SyncFolder(user_.File().parent_path());
  user.temp = waiting;
  if (!machine_.Install(machine, error)) {
    ::unlink(machine.temp.c_str());
    ::unlink(waiting.c_str());
    user_.Drop();
    return fail();
  }
  // Should this fail, the waiting file is left for the next action to finish with.
  return user_.Install(user, error) || fail();
}

std::filesystem::path OfflineRegistry::WaitingUserFile(ino_t machineInode) const {
  return user_.File().parent_path() /
         ("." + user_.File().filename().string() + kWaitingInfix + std::to_string(uintmax_t(machineInode)));
}

void OfflineRegistry::FinishInterruptedWrite() {
  const std::string prefix = "." + user_.File().filename().string() + kWaitingInfix;
  struct stat machine {};
  const bool haveMachine = ::stat(machine_.File().c_str(), &machine) == 0;
  std::error_code ec;
  for (fs::directory_iterator it(user_.File().parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    // The machine's file of its action is in place: the user's goes with it.
    // Otherwise that action never reached the machine's file, and nothing of it counts.
    if (haveMachine && name.substr(prefix.size()) == std::to_string(uintmax_t(machine.st_ino)) &&
        std::rename(it->path().c_str(), user_.File().c_str()) == 0) {
      SyncFolder(user_.File().parent_path());
      continue;
    }
    ::unlink(it->path().c_str());
  }
}

RegistryHive* OfflineRegistry::HiveOf(RootKey root, std::vector<std::u16string>& path) {
  switch (root) {
    case RootKey::hkLocalMachine: return &machine_;
    case RootKey::hkCurrentUser: return &user_;
    case RootKey::hkClassesRoot:
      path = {u"Software", u"Classes"};
      return &machine_;
    case RootKey::hkCurrentConfig:
      path = {u"System", u"CurrentControlSet", u"Hardware Profiles", u"Current"};
      return &machine_;
    case RootKey::hkDynData:
    case RootKey::hkUsers:
      break;
  }
  return nullptr;
}

RegistryHive* OfflineRegistry::Resolve(RootKey root, const std::string& path, std::vector<std::u16string>& full) {
  RegistryHive* hive = HiveOf(root, full);
  if (!hive || !Ready(*hive)) return nullptr;
  std::string_view rest(path);
  if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
  if (!rest.empty()) {
    for (;;) {
      const size_t cut = rest.find('\\');
      const std::string_view part = rest.substr(0, cut);
      if (part.empty() || part.size() > kMaxKeyNameLength) return nullptr;
      full.push_back(Wide(part));
      if (cut == std::string_view::npos) break;
      rest.remove_prefix(cut + 1);
    }
  }
  return hive;
}

std::unique_ptr<RegistryKey> OfflineRegistry::Open(RootKey root, const std::string& path, bool create) {
  std::vector<std::u16string> full;
  RegistryHive* hive = Resolve(root, path, full);
  if (!hive) return nullptr;
  if (!hive->Content().Find(full)) {
    if (!create) return nullptr;
    hive->Content().Create(full);
    hive->Changed(RegistryHive::ChangeKind::CreateKey, full);
    if (!Changed(*hive)) return nullptr;
  }
  return std::make_unique<OfflineRegistryKey>(*this, *hive, std::move(full));
}

bool OfflineRegistry::DeleteKey(RootKey root, const std::string& path) {
  std::vector<std::u16string> full;
  RegistryHive* hive = Resolve(root, path, full);
  if (!hive) return false;
  WineRegistryFile::Key* key = hive->Content().Find(full);
  if (!key) return true;  // not there
  // As Windows: a key with subkeys stays, and so does a root.
  std::vector<std::u16string> rootPath;
  HiveOf(root, rootPath);
  if (full.size() <= rootPath.size() || !hive->Content().RemoveKey(*key)) return false;
  hive->Changed(RegistryHive::ChangeKind::RemoveKey, std::move(full));
  return Changed(*hive);
}

uint8_t OfflineRegistry::Narrow(char16_t ch) {
  if (narrow_.empty()) narrow_.assign(0x10000, kNotAsked);
  uint16_t& known = narrow_[ch];
  if (known == kNotAsked) known = codePages_.WideToNarrow(uint16_t(ch), 0, '?');
  return uint8_t(known);
}

std::u16string OfflineRegistry::Wide(std::string_view text) const {
  std::u16string out(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = wide_[uint8_t(text[i])];
  return out;
}

std::string OfflineRegistry::Narrow(std::u16string_view text) {
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = char(Narrow(text[i]));
  return out;
}

}  // namespace tastora
