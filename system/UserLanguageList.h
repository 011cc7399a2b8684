#pragma once
// The user's language list of Windows 8 and later (the "User Profile" key
// of HKCU\Control Panel\International): a key per language tag holding the input
// methods of that language as "LLLL:KKKKKKKK" values numbered in their
// order, and "Languages", the tags in order. Windows rebuilds Preload from
// it at log-on, so a layout only in Preload is lost then.

#include <cstdint>
#include <string>
#include <vector>

#include "model/ProcessState.h"
#include "platform/InputLanguageApi.h"
#include "platform/RegistryBackend.h"

namespace tastora {

inline constexpr char kUserProfileKey[] = "\\Control Panel\\International\\User Profile";
inline constexpr char kUserLanguagesValue[] = "Languages";

struct LanguageListPorts {
  RegistryBackend& registry;
  InputLanguageApi* api;  // null: none
};

// Windows 8 (6.2) and later keep the list.
bool UsesLanguageList(const WindowsVersion& version);

// The list's name for the layout registered as `klid` loaded for
// `language`: "0407:A0000407". A layout with a "Layout Id" is named by its
// registration key too, as Windows names its own ("0409:00020409").
std::string LanguageListEntry(uint16_t language, const std::string& klid);

// Where an entry stands in the list.
struct LanguageListPlace {
  std::string tag;    // the language's key
  std::string entry;  // the value's name
};

// Every entry of the list that names the registration `klid`.
std::vector<LanguageListPlace> LanguageListPlacesOf(const std::string& klid, RegistryBackend& registry);

// Adds the layout registered as `klid` (its language in the last four
// digits) to the list unless it is there: through Windows, or else by
// writing the keys, the list first made from Preload where the user has
// none yet, so that Windows does not shrink the user's layouts to this one.
// False when it is not in the list afterwards.
bool AddToUserLanguageList(const std::string& klid, const LanguageListPorts& ports);

// Takes the entries out: Windows is told to drop them (which only disables
// them), then the values go, and a language left without input methods
// leaves "Languages" with its key. False when one could not be taken out.
bool RemoveFromUserLanguageList(const std::vector<LanguageListPlace>& places, const LanguageListPorts& ports);

}  // namespace tastora
