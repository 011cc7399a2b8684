#include "platform/offline/OfflineRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace tastora {
namespace fs = std::filesystem;
namespace {

constexpr size_t kMaxKeyNameLength = 255;

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
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

std::optional<RegistryHive::Stamp> RegistryHive::StampOnDisk() const {
  struct stat st {};
  if (::stat(file_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::error_code ec;
  Stamp stamp;
  stamp.time = fs::last_write_time(file_, ec);
  stamp.size = uintmax_t(st.st_size);
  stamp.inode = uintmax_t(st.st_ino);
  return stamp;
}

bool RegistryHive::Refresh(std::string& error) {
  const auto stamp = StampOnDisk();
  if (!stamp) {
    content_.reset();
    error = "cannot read " + file_.string();
    return false;
  }
  if (content_ && *stamp == stamp_) return true;

  std::ifstream in(file_, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) {
    content_.reset();
    error = "cannot read " + file_.string();
    return false;
  }
  WineRegistryFile::Error parseError;
  content_ = WineRegistryFile::Parse(text.str(), parseError);
  if (!content_) {
    error = file_.string() + ":" + std::to_string(parseError.line) + ": " + parseError.reason;
    return false;
  }
  stamp_ = *stamp;
  return true;
}

bool RegistryHive::Save(std::string& error) {
  const std::string text = content_->Serialize(FileTimeNow());
  // Whatever happens below, the next access reads the file as it is on disk.
  content_.reset();

  std::string temp = (file_.parent_path() / ("." + file_.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = "cannot write " + file_.string();
    return false;
  }
  struct stat st {};
  const bool ok = (::stat(file_.c_str(), &st) != 0 || ::fchmod(fd, st.st_mode & 07777) == 0) && WriteAll(fd, text) &&
                  ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok || std::rename(temp.c_str(), file_.c_str()) != 0) {
    ::unlink(temp.c_str());
    error = "cannot write " + file_.string();
    return false;
  }
  return true;
}

// An open key: its hive and path. Each call finds the key again, so a file
// that another program changed in the meantime is read first.
class OfflineRegistryKey final : public RegistryKey {
 public:
  OfflineRegistryKey(OfflineRegistry& registry, RegistryHive& hive, std::vector<std::u16string> path)
      : registry_(registry), hive_(hive), path_(std::move(path)) {}

  std::optional<RegistryData> QueryValue(const std::string& name) override {
    WineRegistryFile::Key* key = Locate();
    if (!key) return std::nullopt;
    const WineRegistryFile::Value* value = hive_.Content().FindValue(*key, registry_.Wide(name));
    if (!value) return std::nullopt;
    RegistryData data{value->type, {}};
    if (IsStringType(value->type)) {
      for (size_t i = 0; i + 1 < value->data.size(); i += 2) {
        const auto unit = char16_t(value->data[i] | (value->data[i + 1] << 8));
        data.bytes.push_back(unit == 0 ? uint8_t(0) : uint8_t(registry_.Narrow(std::u16string_view(&unit, 1))[0]));
      }
    } else {
      data.bytes = value->data;
    }
    return data;
  }

  bool SetValue(const std::string& name, const RegistryData& data) override {
    WineRegistryFile::Key* key = Locate();
    if (!key) return false;
    WineRegistryFile::Value value{registry_.Wide(name), data.type, {}};
    if (IsStringType(data.type)) {
      for (uint8_t byte : data.bytes) {
        const char16_t unit = byte == 0 ? u'\0' : registry_.Wide(std::string(1, char(byte)))[0];
        value.data.push_back(uint8_t(unit & 0xFF));
        value.data.push_back(uint8_t(unit >> 8));
      }
    } else {
      value.data = data.bytes;
    }
    if (!hive_.Content().SetValue(*key, std::move(value))) return true;
    std::string error;
    if (hive_.Save(error)) return true;
    registry_.dialogs_.ShowError(error, "");
    return false;
  }

  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    if (WineRegistryFile::Key* key = Locate())
      for (const std::u16string& name : hive_.Content().ValueNames(*key)) names.push_back(registry_.Narrow(name));
    return names;
  }

  std::vector<std::string> SubkeyNames() override {
    std::vector<std::string> names;
    if (WineRegistryFile::Key* key = Locate())
      for (const std::u16string& name : hive_.Content().SubkeyNames(*key)) names.push_back(registry_.Narrow(name));
    return names;
  }

 private:
  WineRegistryFile::Key* Locate() {
    if (!registry_.Ready(hive_)) return nullptr;
    return hive_.Content().Find(path_);
  }

  OfflineRegistry& registry_;
  RegistryHive& hive_;
  std::vector<std::u16string> path_;
};

OfflineRegistry::OfflineRegistry(const OfflineRoot& root, CodePages& codePages, Dialogs& dialogs)
    : machine_(root.MachineRegistryFile()), user_(root.UserRegistryFile()), codePages_(codePages), dialogs_(dialogs) {}

bool OfflineRegistry::Load(std::string& error) { return machine_.Refresh(error) && user_.Refresh(error); }

bool OfflineRegistry::Ready(RegistryHive& hive) {
  std::string error;
  if (hive.Refresh(error)) return true;
  // Once per fault: every key of the catalogue would report it again.
  if (error != lastReported_) dialogs_.ShowError(error, "");
  lastReported_ = error;
  return false;
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

std::unique_ptr<RegistryKey> OfflineRegistry::Open(RootKey root, const std::string& path, bool create) {
  std::vector<std::u16string> full;
  RegistryHive* hive = HiveOf(root, full);
  if (!hive || !Ready(*hive)) return nullptr;

  std::string_view rest(path);
  if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
  if (!rest.empty()) {
    for (;;) {
      const size_t cut = rest.find('\\');
      const std::string_view part = rest.substr(0, cut);
      if (part.empty() || part.size() > kMaxKeyNameLength) return nullptr;
      full.push_back(Wide(std::string(part)));
      if (cut == std::string_view::npos) break;
      rest.remove_prefix(cut + 1);
    }
  }

  if (!hive->Content().Find(full)) {
    if (!create) return nullptr;
    hive->Content().Create(full);
    std::string error;
    if (!hive->Save(error)) {
      dialogs_.ShowError(error, "");
      return nullptr;
    }
  }
  return std::make_unique<OfflineRegistryKey>(*this, *hive, std::move(full));
}

std::u16string OfflineRegistry::Wide(const std::string& text) const {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out += char16_t(codePages_.NarrowToWide(uint8_t(c), 0));
  return out;
}

std::string OfflineRegistry::Narrow(std::u16string_view text) const {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out += char(codePages_.WideToNarrow(uint16_t(c), 0, '?'));
  return out;
}

}  // namespace tastora
