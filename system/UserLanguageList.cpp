#include "system/UserLanguageList.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>

#include "system/LanguageTags.h"
#include "system/LayoutInstaller.h"
#include "system/Locales.h"
#include "system/RegistryEnhanced.h"

namespace tastora {
namespace {

std::optional<uint32_t> HexNumber(std::string_view text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return std::nullopt;
    value = value << 4 | uint32_t(digit);
  }
  return value;
}

// "LLLL:KKKKKKKK": the registration it names, or nothing for another value.
std::optional<std::string> RegistrationOf(const std::string& entry) {
  if (entry.size() != 13 || entry[4] != ':' || !HexNumber(entry.substr(0, 4)) || !HexNumber(entry.substr(5)))
    return std::nullopt;
  return entry.substr(5);
}

std::string ProfileKey(const std::string& tag) { return std::string(kUserProfileKey) + "\\" + tag; }

// The Preload entries in Windows' order, each as the registration it loads
// (through Substitutes) and the language it is loaded for.
std::vector<std::pair<uint16_t, std::string>> PreloadLayouts(TRegistryEnhanced& user) {
  std::vector<std::pair<int, std::string>> numbered;
  user.SetKey(kPreloadKey);
  for (const std::string& name : user.GetValueNames()) {
    const std::optional<int> number = PreloadNumber(name);
    const std::string id = number ? user.ReadText(name) : std::string();
    if (id.size() == 8 && HexNumber(id)) numbered.emplace_back(*number, id);
  }
  std::stable_sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::pair<uint16_t, std::string>> layouts;
  user.SetKey(kSubstitutesKey);
  for (auto& [number, id] : numbered) {
    const std::string substitute = user.ReadText(id);
    const uint16_t language = uint16_t(*HexNumber(id.substr(4)));
    layouts.emplace_back(language, substitute.size() == 8 && HexNumber(substitute) ? substitute : id);
  }
  return layouts;
}

// Adds one entry to the keys, after the entries its language has.
bool WriteEntry(TRegistryEnhanced& user, const std::string& tag, const std::string& entry,
                std::vector<std::string>& languages) {
  user.SetKey(ProfileKey(tag));
  int32_t last = 0;
  bool listed = false;
  for (const std::string& name : user.GetValueNames()) {
    if (SamePath(name, entry)) listed = true;
    if (!RegistrationOf(name)) continue;
    const RegistryVariant order = user.ReadValue(name);
    if (const auto* number = std::get_if<int32_t>(&order)) last = std::max(last, *number);
  }
  // An order at the top of the range is followed by itself, not by a wrap.
  if (!listed && !user.WriteValue(entry, last < INT32_MAX ? last + 1 : last)) return false;
  // The language may have kept its key after it left "Languages".
  if (std::none_of(languages.begin(), languages.end(), [&](const std::string& t) { return SamePath(t, tag); }))
    languages.push_back(tag);
  return true;
}

bool WriteUserProfile(const std::string& klid, const LanguageListPorts& ports) {
  TRegistryEnhanced user(ports.registry, RootKey::hkCurrentUser);
  user.SetKey(kUserProfileKey);
  std::vector<std::string> languages = user.ReadStrings(kUserLanguagesValue);
  std::vector<std::pair<uint16_t, std::string>> layouts;
  if (languages.empty()) layouts = PreloadLayouts(user);
  layouts.emplace_back(uint16_t(*HexNumber(klid.substr(4))), klid);
  bool ok = true;
  for (const auto& [language, registration] : layouts) {
    const std::string tag = LanguageTagOf(language, ports.api);
    if (tag.empty()) {
      ok = false;
      continue;
    }
    ok = WriteEntry(user, tag, LanguageListEntry(language, registration), languages) && ok;
  }
  user.SetKey(kUserProfileKey);
  return user.WriteStrings(kUserLanguagesValue, languages) && ok;
}

}  // namespace

bool UsesLanguageList(const WindowsVersion& version) {
  return version.platformId == kPlatformWin32Nt && (version.major > 6 || (version.major == 6 && version.minor >= 2));
}

std::string LanguageListEntry(uint16_t language, const std::string& klid) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X:%08X", unsigned(language), unsigned(HexNumber(klid).value_or(0)));
  return text;
}

std::vector<LanguageListPlace> LanguageListPlacesOf(const std::string& klid, RegistryBackend& registry) {
  std::vector<LanguageListPlace> places;
  TRegistryEnhanced user(registry, RootKey::hkCurrentUser);
  user.SetKey(kUserProfileKey);
  for (const std::string& tag : user.ReadStrings(kUserLanguagesValue)) {
    user.SetKey(ProfileKey(tag));
    for (const std::string& name : user.GetValueNames())
      if (const auto registration = RegistrationOf(name); registration && SamePath(*registration, klid))
        places.push_back({tag, name});
    user.SetKey(kUserProfileKey);
  }
  return places;
}

bool AddToUserLanguageList(const std::string& klid, const LanguageListPorts& ports) {
  if (klid.size() != 8 || !HexNumber(klid)) return false;
  if (!LanguageListPlacesOf(klid, ports.registry).empty()) return true;
  const std::string entry = LanguageListEntry(uint16_t(*HexNumber(klid.substr(4))), klid);
  // Windows makes it selectable at once; it fails where the layout's
  // language is not one it knows, and is missing before Windows 8 and on Wine.
  if (ports.api && ports.api->InstallLayoutOrTip(entry, 0).value_or(false) &&
      !LanguageListPlacesOf(klid, ports.registry).empty())
    return true;
  return WriteUserProfile(klid, ports) && !LanguageListPlacesOf(klid, ports.registry).empty();
}

bool RemoveFromUserLanguageList(const std::vector<LanguageListPlace>& places, const LanguageListPorts& ports) {
  TRegistryEnhanced user(ports.registry, RootKey::hkCurrentUser);
  bool ok = true;
  std::vector<std::string> emptied;
  for (const LanguageListPlace& place : places) {
    if (ports.api) (void)ports.api->InstallLayoutOrTip(place.entry, kIlotUninstall);
    user.SetKey(ProfileKey(place.tag));
    ok = user.DeleteValue(place.entry) && ok;
    const std::vector<std::string> names = user.GetValueNames();
    if (std::none_of(names.begin(), names.end(), [](const std::string& name) { return RegistrationOf(name); }))
      emptied.push_back(place.tag);
  }
  if (emptied.empty()) return ok;
  user.SetKey(kUserProfileKey);
  std::vector<std::string> languages = user.ReadStrings(kUserLanguagesValue);
  std::erase_if(languages, [&](const std::string& tag) {
    return std::any_of(emptied.begin(), emptied.end(), [&](const std::string& gone) { return SamePath(gone, tag); });
  });
  // A list without languages is no list: Windows would start the user afresh.
  if (languages.empty()) return ok;
  ok = user.WriteStrings(kUserLanguagesValue, languages) && ok;
  for (const std::string& tag : emptied) {
    user.SetKey(ProfileKey(tag));
    ok = user.DeleteKey() && ok;
  }
  return ok;
}

}  // namespace tastora
