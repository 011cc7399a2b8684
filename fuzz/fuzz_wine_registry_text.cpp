// Feeds arbitrary text to the Wine registry file reader. A file that reads
// is written back unchanged byte for byte; then values are set anew or
// removed, a key removed, a value and keys added, and the file written and
// read again must hold exactly the keys and values it held in memory.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryBackend.h"
#include "platform/offline/WineRegistryFile.h"
#include "platform/offline/WineRegistryText.h"

namespace {

using tastora::WineRegistryFile;

constexpr uint64_t kNow = 133000000000000000ull;  // 2022, in file-time ticks

struct Seen {
  uint32_t type;
  std::vector<uint8_t> data;
  bool operator==(const Seen&) const = default;
};
// Every key by its path, with its values by name: what a reader of the file
// sees. Names are compared as the registry compares them, without case: a
// key named in two spellings keeps the one that is still in the file.
using Snapshot = std::map<std::u16string, std::map<std::u16string, Seen>>;

std::u16string Folded(std::u16string name) {
  for (char16_t& c : name) c = tastora::winereg::FoldCase(c);
  return name;
}

void Collect(const WineRegistryFile::Key& key, const std::u16string& path, Snapshot& out) {
  auto& values = out[path];
  for (const auto& slot : key.values)
    if (!slot.removed) values[Folded(slot.value.name)] = Seen{slot.value.type, slot.value.data};
  for (const auto& sub : key.subkeys) Collect(*sub, path + u'\\' + Folded(sub->name), out);
}

Snapshot SnapshotOf(WineRegistryFile& file) {
  Snapshot out;
  Collect(*file.Root(), u"", out);
  return out;
}

// A different value of the same kind, so that every form is written again.
WineRegistryFile::Value Changed(const WineRegistryFile::Value& value, uint8_t seed) {
  WineRegistryFile::Value out = value;
  switch (seed % 4) {
    case 0:  // a longer string, still terminated
      if (out.data.size() >= 2) out.data.insert(out.data.end() - 2, {uint8_t('a' + seed % 26), 0});
      else out.data.push_back(seed);
      break;
    case 1:  // the same bytes as binary data
      out.type = tastora::kRegBinary;
      break;
    case 2:  // one byte more: an odd string or a dword that is not four bytes
      out.data.push_back(seed);
      break;
    default:  // a number
      out.type = tastora::kRegDword;
      out.data = {seed, 0, 0, uint8_t(seed >> 1)};
      break;
  }
  return out;
}

// A key name from the input: never empty, never a backslash (the path separator).
std::u16string NameFrom(const uint8_t* data, size_t size) {
  std::u16string name;
  for (size_t i = 0; i < size && name.size() < 12; ++i) {
    const char16_t c = data[i] < 0x80 ? char16_t(data[i]) : char16_t(0x400 + data[i]);
    if (c != u'\\') name += c;
  }
  return name.empty() ? u"Fuzz" : name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  WineRegistryFile::Error error;
  auto file = WineRegistryFile::Parse(text, error);
  if (!file) {
    if (error.line < 1 || error.reason.empty()) std::abort();
    return 0;
  }
  if (file->Serialize(kNow) != text) std::abort();

  std::vector<WineRegistryFile::Key*> keys{file->Root()};
  for (size_t i = 0; i < keys.size(); ++i)
    for (const auto& sub : keys[i]->subkeys) keys.push_back(sub.get());
  uint8_t seed = size > 0 ? data[size / 2] : 0;
  for (WineRegistryFile::Key* key : keys) {
    const size_t count = key->values.size();
    for (size_t i = 0; i < count; ++i) {
      if (++seed % 5 == 0) continue;  // some keep what they had
      if (seed % 7 == 0) file->RemoveValue(*key, key->values[i].value.name);
      else file->SetValue(*key, Changed(key->values[i].value, seed));
    }
  }
  // A key without subkeys goes (the last one found), unless it is all there is.
  if (keys.size() > 2 && (seed & 1)) {
    WineRegistryFile::Key* leaf = keys.back();
    keys.pop_back();
    if (!file->RemoveKey(*leaf)) std::abort();
  }
  WineRegistryFile::Key* last = keys.back();
  file->SetValue(*last, {u"fuzz", tastora::kRegSz, {'x', 0, 0, 0}});
  const std::u16string name = NameFrom(data, size < 8 ? size : 8);
  file->Create({name, u"empty"});
  file->SetValue(*file->Create({u"Fuzz", name}), {name, tastora::kRegMultiSz, {'a', 0, 0, 0, 0, 0}});

  const Snapshot expected = SnapshotOf(*file);
  const std::string written = file->Serialize(kNow);
  auto again = WineRegistryFile::Parse(written, error);
  if (!again) std::abort();
  if (SnapshotOf(*again) != expected || again->Architecture() != file->Architecture()) std::abort();
  if (again->Serialize(kNow) != written) std::abort();
  return 0;
}
