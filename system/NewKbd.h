#pragma once
// New layouts: a copy of a catalogue entry's library under a new "KBD" file
// name in the system folders, registered under a new layout identifier for a
// chosen language and added to the user's preload list. Also the data behind
// the New Keyboard dialog's language list.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "platform/RegistryBackend.h"
#include "platform/SystemFiles.h"
#include "system/Locales.h"

namespace tastora {

inline constexpr char kNewKeyboardCaption[] = "New Keyboard";
inline constexpr char kNewLayoutName[] = "New Layout";  // the name box at each showing
inline constexpr char kOneLayoutPerLanguageWarning[] =
    "Warning! Win95 cannot use more then one layout per language!";

// Hexadecimal text as a number: each character, upper-cased, adds
// (code - 55) above "9" and (code - 48) otherwise to 16 times the result so
// far. Other characters give meaningless numbers. No value when the result
// leaves the signed 32-bit range.
std::optional<int32_t> HexToInt(std::string_view text);

// An item of the language list: the English name of a LanguageTable row and
// the number of its key.
struct LanguageItem {
  std::string text;
  int32_t number = 0;
};
// One item per LanguageTable row, sorted by text regardless of case; rows
// with the same name keep their table order.
std::vector<LanguageItem> LanguageListItems();
// The position of the first item whose number is that of the preset
// language text ("0" when none is preset); none when no item has it.
std::optional<size_t> FindLanguageItem(const std::vector<LanguageItem>& items, std::string_view presetHex);

// A name that stays inside the system folder: not empty, no folder or drive
// part ("\", "/", ":") and no "..". Registry values are not trusted to be one.
bool IsPlainFileName(std::string_view name);

struct NewLayoutPorts {
  RegistryBackend& registry;
  SystemFiles& files;
  Dialogs& dialogs;
};

struct NewLayoutResult {
  bool created = false;
  std::string klid;      // the new layout identifier, eight hexadecimal digits
  std::string fileName;  // its library in the system folder
  std::string error;     // why not, when not created; already shown to the user
};

// Creates a layout from the catalogue entry at `templatePosition` for
// `language` (a number above 0xFFFF counts with its low 16 bits) named
// `layoutName`. Refusals are shown and written nowhere: a position outside
// the catalogue, a template file that is not a plain file name or is missing,
// no free identifier or file name. A library copy that fails is shown and
// nothing is registered. The new entry takes the first free preload number,
// so no other entry is overwritten. The catalogue is stale afterwards; the
// new entry is the one whose Id is `klid`.
NewLayoutResult CreateWithParams(int32_t templatePosition, int32_t language, const std::string& layoutName,
                                 const TLocales& catalogue, bool ntPlatform, const NewLayoutPorts& ports);

}  // namespace tastora
