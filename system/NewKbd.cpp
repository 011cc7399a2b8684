#include "system/NewKbd.h"

#include <algorithm>
#include <iterator>
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

// The lowest number from 2 up that is not among `names`.
int FirstFreeNumber(const std::vector<std::string>& names) {
  for (int n = 2;; ++n)
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

std::string FileNameProblem(std::string_view name) {
  if (name.empty()) return "it is empty";
  if (name.find_first_of("\\/:") != std::string_view::npos) return "it has a folder or drive part";
  if (name.find("..") != std::string_view::npos) return "it has \"..\" in it";
  for (char c : name)
    if (uint8_t(c) < 0x20) return "it has a control character in it";
  if (name.find_first_of("<>\"|?*") != std::string_view::npos)
    return "it has a character Windows does not take in a file name (< > \" | ? *; a \"?\" also stands for one "
           "outside the code page)";
  if (name.back() == '.' || name.back() == ' ') return "it ends with a dot or a blank, which Windows drops";
  // A device whatever the extension: "nul.dll" is NUL too.
  std::string base = UpperCase(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  bool device = std::find(std::begin(kDevices), std::end(kDevices), base) != std::end(kDevices);
  device = device || (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
                      base[3] >= '1' && base[3] <= '9');
  if (device) return "it names the device " + base;
  return "";
}

bool IsPlainFileName(std::string_view name) { return FileNameProblem(name).empty(); }

std::string ShownFileName(std::string_view name) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char c : name) {
    if (uint8_t(c) < 0x20) {
      out += "\\x";
      out += kDigits[uint8_t(c) >> 4];
      out += kDigits[uint8_t(c) & 0xF];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::optional<NewLayoutPlan> PlanNewLayout(int32_t templatePosition, int32_t language, const std::string& layoutName,
                                           const TLocales& catalogue, bool ntPlatform, const NewLayoutPorts& ports,
                                           std::string& error) {
  auto refuse = [&](std::string text) -> std::optional<NewLayoutPlan> {
    ports.dialogs.ShowWarning(text);
    error = std::move(text);
    return std::nullopt;
  };
  SystemFiles& files = ports.files;

  if (templatePosition < 0 || templatePosition >= catalogue.Count())
    return refuse("There is no layout at position " + std::to_string(templatePosition) +
                  " of the list to use as the template; the list has " + std::to_string(catalogue.Count()) +
                  " layouts, counted from 0.");
  const LayoutEntry entry = catalogue.Get(templatePosition);
  NewLayoutPlan plan;
  plan.ntPlatform = ntPlatform;
  plan.layoutName = layoutName;
  plan.templateFile = entry.LayoutFile.Str();
  // The name comes from the registry and is joined to the system folder.
  if (const std::string problem = FileNameProblem(plan.templateFile); !problem.empty())
    return refuse("The layout file " + ShownFileName(plan.templateFile) + " of the template layout is not a file " +
                  "name in the system folder (" + problem + "), so no layout was created!");

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
  if (!files.FileExists(folder + plan.templateFile))
    return refuse("The layout file " + folder + plan.templateFile + " of the template layout is missing, so no " +
                  "layout was created!");
  {
    RedirectionOff off(files);
    const std::string nativeFolder = FolderOf(files);
    if (off.Succeeded() && !files.FileExists(nativeFolder + plan.templateFile))
      return refuse("The layout file " + nativeFolder + plan.templateFile + " of the template layout is missing " +
                    "in the 64-bit system32 folder, so no layout was created!");
  }
  // A folder of that name takes it as much as a file does.
  auto taken = [&](const std::string& name) {
    if (files.PathExists(folder + name)) return true;
    RedirectionOff off(files);
    return off.Succeeded() && files.PathExists(FolderOf(files) + name);
  };
  for (int i = 0; i < kMaxFileNumber && plan.fileName.empty(); ++i) {
    const std::string candidate = "KBD" + std::to_string(i) + (ntPlatform ? ".dll" : ".kbd");
    if (!taken(candidate)) plan.fileName = candidate;
  }
  if (plan.fileName.empty()) return refuse("There is no free file name for a new layout in " + folder + "!");

  plan.klid = Hex(uint64_t(variant + 1), 4) + language4;
  if (variant >= 0) {
    plan.layoutId = Hex(uint64_t(maxId + 1), 4);
    if (plan.layoutId.size() < width) plan.layoutId.insert(0, width - plan.layoutId.size(), '0');
  }
  TRegistryEnhanced user(ports.registry, RootKey::hkCurrentUser);
  user.SetKey(kPreloadKey);
  plan.preloadName = std::to_string(FirstFreeNumber(ntPlatform ? user.GetValueNames() : user.GetKeyNames()));
  return plan;
}

bool CopyTemplate(const NewLayoutPlan& plan, const NewLayoutPorts& ports, NewLayoutMade& made, std::string& error) {
  SystemFiles& files = ports.files;
  // A registration must never name a file that is not there.
  const std::string folder = FolderOf(files);
  made.copies.emplace_back(folder + plan.fileName, false);
  if (!files.CopyFile(folder + plan.templateFile, folder + plan.fileName)) {
    made.copies.pop_back();  // a copy that fails leaves nothing, and the name may be someone else's
    error = "Could not copy " + folder + plan.templateFile + " to " + folder + plan.fileName +
            ", so no layout was created!";
    return false;
  }
  if (!files.HasNativeFolder()) return true;
  RedirectionOff off(files);
  if (!off.Succeeded()) {
    ports.dialogs.ShowMessage(kCannotRedirect);
    return true;
  }
  const std::string nativeFolder = FolderOf(files);
  made.copies.emplace_back(nativeFolder + plan.fileName, true);
  if (!files.CopyFile(nativeFolder + plan.templateFile, nativeFolder + plan.fileName)) {
    made.copies.pop_back();
    error = "Could not copy " + nativeFolder + plan.templateFile + " to " + nativeFolder + plan.fileName +
            " in the 64-bit system32 folder, so no layout was created!";
    return false;
  }
  return true;
}

bool RegisterNewLayout(const NewLayoutPlan& plan, const std::string& layoutFile, const NewLayoutPorts& ports,
                       NewLayoutMade& made, std::string& error) {
  // The registration and the preload entry reach the registry files
  // together: each file written once, the machine's first.
  RegistryWrites batch(ports.registry);
  TRegistryEnhanced machine(ports.registry, RootKey::hkLocalMachine);
  machine.SetKey(std::string(kLayoutsKey) + "\\" + plan.klid);
  made.registered = true;
  // "Layout File" last: a registration cut short names no file.
  const bool registered = machine.WriteValue("Layout Text", plan.layoutName) &&
                          (plan.layoutId.empty() || machine.WriteValue("Layout Id", plan.layoutId)) &&
                          machine.WriteValue("Layout File", layoutFile);
  if (!registered) {
    error = "Could not write the registration of the new layout " + plan.klid + "!";
    return false;
  }

  TRegistryEnhanced user(ports.registry, RootKey::hkCurrentUser);
  made.preloaded = true;
  bool preloaded;
  if (plan.ntPlatform) {
    user.SetKey(kPreloadKey);
    preloaded = user.WriteValue(plan.preloadName, plan.klid);
  } else {
    user.SetKey(std::string(kPreloadKey) + "\\" + plan.preloadName);
    preloaded = user.WriteValue("", plan.klid);
  }
  if (!preloaded) {
    error = "The new layout " + plan.klid + " was registered, but could not be added to the list of the user's " +
            "layouts!";
    return false;
  }
  if (!batch.Commit()) {
    error = "Could not write the registration of the new layout " + plan.klid + "!";
    return false;
  }
  return true;
}

std::string UndoNewRegistration(const NewLayoutPlan& plan, NewLayoutMade& made, const NewLayoutPorts& ports,
                                bool& fileStillNamed) {
  std::string left;
  fileStillNamed = false;
  if (made.preloaded) {
    TRegistryEnhanced user(ports.registry, RootKey::hkCurrentUser);
    user.SetKey(kPreloadKey);
    const bool removed = plan.ntPlatform ? user.DeleteValue(plan.preloadName) : user.DeleteKey(plan.preloadName);
    if (removed) made.preloaded = false;
    else left += "\rthe preload entry " + plan.preloadName;
  }
  if (made.registered) {
    TRegistryEnhanced machine(ports.registry, RootKey::hkLocalMachine);
    machine.SetKey(kLayoutsKey);
    if (machine.DeleteKey(plan.klid)) {
      made.registered = false;
    } else {
      left += "\rthe registration " + plan.klid;
      machine.SetKey(std::string(kLayoutsKey) + "\\" + plan.klid);
      fileStillNamed = !machine.ReadText("Layout File").empty();
    }
  }
  return left;
}

std::string RemoveCopies(NewLayoutMade& made, const NewLayoutPorts& ports) {
  SystemFiles& files = ports.files;
  std::string left;
  std::vector<std::pair<std::string, bool>> kept;
  for (auto it = made.copies.rbegin(); it != made.copies.rend(); ++it) {
    bool removed = false;
    if (it->second) {
      // The path names the native folder only with the switch off.
      RedirectionOff off(files);
      removed = off.Succeeded() && files.RemoveFile(it->first);
    } else {
      removed = files.RemoveFile(it->first);
    }
    if (!removed) {
      kept.push_back(*it);
      left += "\r" + it->first;
    }
  }
  made.copies = std::move(kept);
  return left;
}

std::string UndoNewLayout(const NewLayoutPlan& plan, NewLayoutMade& made, const NewLayoutPorts& ports) {
  bool fileStillNamed = false;
  std::string left = UndoNewRegistration(plan, made, ports, fileStillNamed);
  if (!fileStillNamed) return left + RemoveCopies(made, ports);
  for (const auto& copy : made.copies) left += "\r" + copy.first;
  return left;
}

std::string UndoneText(const std::string& reason, const std::string& left) {
  if (left.empty()) return reason + "\rWhat was made for it has been removed again.";
  return reason + "\rWhat was made for it could not all be removed; still there:" + left;
}

NewLayoutResult CreateWithParams(int32_t templatePosition, int32_t language, const std::string& layoutName,
                                 const TLocales& catalogue, bool ntPlatform, const NewLayoutPorts& ports) {
  NewLayoutResult result;
  const std::optional<NewLayoutPlan> plan =
      PlanNewLayout(templatePosition, language, layoutName, catalogue, ntPlatform, ports, result.error);
  if (!plan) return result;
  NewLayoutMade made;
  std::string error;
  if (!CopyTemplate(*plan, ports, made, error) || !RegisterNewLayout(*plan, plan->fileName, ports, made, error)) {
    result.error = UndoneText(error, UndoNewLayout(*plan, made, ports));
    ports.dialogs.ShowWarning(result.error);
    return result;
  }
  result.created = true;
  result.klid = plan->klid;
  result.fileName = plan->fileName;
  return result;
}

}  // namespace tastora
