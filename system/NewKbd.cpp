#include "system/NewKbd.h"

#include <algorithm>
#include <limits>

#include "system/LanguageTable.h"
#include "system/RegistryEnhanced.h"

namespace tastora {
namespace {

// Enough for any system folder; a FileExists that never says no must not
// keep the search going for ever.
constexpr int kMaxFileNumber = 100000;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Upper(c);
  return out;
}

// Upper-case hexadecimal text with at least `digits` digits.
std::string Hex(uint64_t value, size_t digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (out.size() < digits) out.insert(0, digits - out.size(), '0');
  return out;
}

// A "Layout ID" value as a hexadecimal number; nothing for text that is not one.
std::optional<uint64_t> ParseLayoutId(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    const char u = Upper(c);
    const int digit = (u >= '0' && u <= '9') ? u - '0' : (u >= 'A' && u <= 'F') ? u - 'A' + 10 : -1;
    if (digit < 0 || value > 0xFFFFFFFFu) return std::nullopt;  // 32 bits, as a registry number holds
    value = value * 16 + uint64_t(digit);
  }
  if (value > 0xFFFFFFFFu) return std::nullopt;
  return value;
}

// Characters 1 to 4 and 5 to 8 of an identifier; fewer when it is shorter.
std::string_view Chars1To4(std::string_view klid) { return klid.substr(0, 4); }
std::string_view Chars5To8(std::string_view klid) { return klid.size() <= 4 ? std::string_view() : klid.substr(4, 4); }

std::string FolderOf(SystemFiles& files) {
  std::string folder = files.SystemDirectory();
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

// The first number from 1 up that is not among `names`.
int FirstFreeNumber(const std::vector<std::string>& names) {
  for (int n = 1;; ++n)
    if (std::find(names.begin(), names.end(), std::to_string(n)) == names.end()) return n;
}

}  // namespace

std::optional<int32_t> HexToInt(std::string_view text) {
  int64_t result = 0;
  for (char c : text) {
    const int code = uint8_t(Upper(c));
    result = result * 16 + (code > '9' ? code - 55 : code - 48);
    if (result > std::numeric_limits<int32_t>::max() || result < std::numeric_limits<int32_t>::min())
      return std::nullopt;
  }
  return int32_t(result);
}

std::vector<LanguageItem> LanguageListItems() {
  std::vector<LanguageItem> items;
  items.reserve(LanguageTable.size());
  for (const LanguageRow& row : LanguageTable) {
    const size_t semicolon = row.value.find(';');
    const std::string_view text = semicolon == std::string_view::npos ? row.value : row.value.substr(semicolon + 1);
    items.push_back({std::string(text), HexToInt(row.key).value_or(0)});
  }
  std::stable_sort(items.begin(), items.end(), [](const LanguageItem& a, const LanguageItem& b) {
    return UpperCase(a.text) < UpperCase(b.text);
  });
  return items;
}

std::optional<size_t> FindLanguageItem(const std::vector<LanguageItem>& items, std::string_view presetHex) {
  const std::optional<int32_t> preset = HexToInt(presetHex);
  if (!preset) return std::nullopt;
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].number == *preset) return i;
  return std::nullopt;
}

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name.find_first_of("\\/:") == std::string_view::npos &&
         name.find("..") == std::string_view::npos;
}

NewLayoutResult CreateWithParams(int32_t templatePosition, int32_t language, const std::string& layoutName,
                                 const TLocales& catalogue, bool ntPlatform, const NewLayoutPorts& ports) {
  NewLayoutResult result;
  auto refuse = [&](std::string text) {
    ports.dialogs.ShowWarning(text);
    result.error = std::move(text);
    return result;
  };
  SystemFiles& files = ports.files;

  if (templatePosition < 0 || templatePosition >= catalogue.Count())
    return refuse("There is no layout at position " + std::to_string(templatePosition) +
                  " of the list to use as the template; the list has " + std::to_string(catalogue.Count()) +
                  " layouts, counted from 0.");
  const LayoutEntry entry = catalogue.Get(templatePosition);
  const std::string templateFile = entry.LayoutFile.Str();
  // The name comes from the registry and is joined to the system folder.
  if (!IsPlainFileName(templateFile))
    return refuse("The layout file \"" + templateFile + "\" of the template layout is not a file name in the " +
                  "system folder, so no layout was created!");

  // The five-digit rows of the language list carry a layout variant above the language.
  const std::string language4 = Hex(uint32_t(language) & 0xFFFF, 4);

  TRegistryEnhanced machine(ports.registry, RootKey::hkLocalMachine);
  machine.SetKey(kLayoutsKey);
  const std::vector<std::string> klids = machine.GetKeyNames();

  int64_t variant = -1;
  for (const std::string& klid : klids) {
    if (UpperCase(Chars5To8(klid)) != language4) continue;
    const std::optional<int32_t> number = HexToInt(Chars1To4(klid));
    if (number && *number > variant) variant = *number;
  }
  if (variant + 1 > 0xFFFF)
    return refuse("There is no free layout identifier left for the language " + language4 +
                  ", so no layout was created!");

  int64_t maxId = -1;
  size_t width = 4;
  for (const std::string& klid : klids) {
    machine.SetKey(std::string(kLayoutsKey) + "\\" + klid);
    const std::string text = machine.ReadText("Layout ID");
    if (text.empty()) continue;
    width = text.size();
    if (const auto id = ParseLayoutId(text); id && int64_t(*id) > maxId) maxId = int64_t(*id);
  }

  // The file names in the system folder and, where there is one, in the
  // native one: a name taken in either would make one copy fail.
  const std::string folder = FolderOf(files);
  auto nativeFolderHas = [&](const std::string& name) {
    RedirectionOff off(files);
    return off.Succeeded() && files.FileExists(FolderOf(files) + name);
  };
  if (!files.FileExists(folder + templateFile))
    return refuse("The layout file " + folder + templateFile + " of the template layout is missing, so no " +
                  "layout was created!");
  {
    RedirectionOff off(files);
    const std::string nativeFolder = FolderOf(files);
    if (off.Succeeded() && !files.FileExists(nativeFolder + templateFile))
      return refuse("The layout file " + nativeFolder + templateFile + " of the template layout is missing in the " +
                    "64-bit system32 folder, so no layout was created!");
  }

  std::string fileName;
  for (int i = 0; i < kMaxFileNumber && fileName.empty(); ++i) {
    const std::string candidate = "KBD" + std::to_string(i) + (ntPlatform ? ".dll" : ".kbd");
    if (!files.FileExists(folder + candidate) && !nativeFolderHas(candidate)) fileName = candidate;
  }
  if (fileName.empty()) return refuse("There is no free file name for a new layout in " + folder + "!");

  // A registration must never name a file that is not there.
  if (!files.CopyFile(folder + templateFile, folder + fileName))
    return refuse("Could not copy " + folder + templateFile + " to " + folder + fileName +
                  ", so no layout was created!");
  {
    RedirectionOff off(files);
    if (off.Succeeded()) {
      const std::string nativeFolder = FolderOf(files);
      if (!files.CopyFile(nativeFolder + templateFile, nativeFolder + fileName))
        return refuse("Could not copy " + nativeFolder + templateFile + " to " + nativeFolder + fileName +
                      " in the 64-bit system32 folder, so no layout was created!");
    } else {
      ports.dialogs.ShowMessage(kCannotRedirect);
    }
  }

  const std::string klid = Hex(uint64_t(variant + 1), 4) + language4;
  machine.SetKey(std::string(kLayoutsKey) + "\\" + klid);
  bool registered = machine.WriteValue("Layout File", fileName) && machine.WriteValue("Layout Text", layoutName);
  if (registered && variant >= 0) {
    std::string layoutId = Hex(uint64_t(maxId + 1), 4);
    if (layoutId.size() < width) layoutId.insert(0, width - layoutId.size(), '0');
    registered = machine.WriteValue("Layout Id", layoutId);
  }
  if (!registered) return refuse("Could not write the registration of the new layout " + klid + "!");

  // The first free number: counting the values would overwrite one when the
  // numbers have gaps.
  TRegistryEnhanced user(ports.registry, RootKey::hkCurrentUser);
  user.SetKey(kPreloadKey);
  bool preloaded;
  if (ntPlatform) {
    preloaded = user.WriteValue(std::to_string(FirstFreeNumber(user.GetValueNames())), klid);
  } else {
    const int number = FirstFreeNumber(user.GetKeyNames());
    user.SetKey(std::string(kPreloadKey) + "\\" + std::to_string(number));
    preloaded = user.WriteValue("", klid);
  }
  if (!preloaded)
    return refuse("The new layout " + klid + " was registered, but could not be added to the list of the " +
                  "user's layouts!");

  result.created = true;
  result.klid = klid;
  result.fileName = fileName;
  return result;
}

}  // namespace tastora
