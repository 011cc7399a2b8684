#pragma once
// New layouts: a copy of a catalogue entry's library under a new "KBD" file
// name in the system folders, registered under a new layout identifier for a
// chosen language and added to the user's preload list. Also the data behind
// the New Keyboard dialog's language list.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// Why `name` is not a file name in the system folder, in a few words; empty
// when it is one. Registry values are not trusted to be one: it must be a
// plain name (not empty, no folder or drive part, no "..") and one Windows
// takes as it is (no control character, none of < > " | ? * - a "?" is also
// what a character outside the code page became - no dot or blank at the
// end, which Windows drops, and no device name such as CON or NUL).
std::string FileNameProblem(std::string_view name);
bool IsPlainFileName(std::string_view name);
// The name in quotes as a message shows it, a control character as \xNN.
std::string ShownFileName(std::string_view name);

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

// A new layout as it will be made, worked out before anything is written.
struct NewLayoutPlan {
  std::string klid;
  std::string layoutId;  // empty when none is written
  std::string fileName;  // the copy of the template's library
  std::string templateFile;
  std::string layoutName;
  std::string preloadName;  // the number of its preload entry
  bool ntPlatform = true;
};

// What making a new layout has written so far, to be taken back on a failure.
struct NewLayoutMade {
  std::vector<std::pair<std::string, bool>> copies;  // a Windows path, and whether in the native folder
  bool registered = false;  // the registration key has been written to
  bool preloaded = false;
};

// Works out the new layout from the catalogue entry at `templatePosition`
// for `language` (a number above 0xFFFF counts with its low 16 bits) named
// `layoutName`. Refusals are shown and nothing is written: a position outside
// the catalogue, a template file that is not a Windows file name or is
// missing, no free identifier or file name. A name taken by a file or a
// folder in either system folder is skipped. The preload entry takes the
// lowest free number from 2 up: "1" is the user's default layout, and
// Windows stops reading at the first missing number.
std::optional<NewLayoutPlan> PlanNewLayout(int32_t templatePosition, int32_t language, const std::string& layoutName,
                                           const TLocales& catalogue, bool ntPlatform, const NewLayoutPorts& ports,
                                           std::string& error);
// The template's library copied under the new name into each system folder.
// False, with `error`, when a copy fails.
bool CopyTemplate(const NewLayoutPlan& plan, const NewLayoutPorts& ports, NewLayoutMade& made, std::string& error);
// The registration ("Layout Text", "Layout Id", then "Layout File" naming
// `layoutFile`) and the preload entry. False, with `error`, when a write fails.
bool RegisterNewLayout(const NewLayoutPlan& plan, const std::string& layoutFile, const NewLayoutPorts& ports,
                       NewLayoutMade& made, std::string& error);
// Takes back the registration and the preload entry. `fileStillNamed` tells
// whether a registration that could not be removed still names the new
// file, which must then stay. Empty when all of it is gone, else what is
// left, each on a line of its own.
std::string UndoNewRegistration(const NewLayoutPlan& plan, NewLayoutMade& made, const NewLayoutPorts& ports,
                                bool& fileStillNamed);
// Removes the copies; what could not be removed, each on a line of its own.
std::string RemoveCopies(NewLayoutMade& made, const NewLayoutPorts& ports);
// Both, in that order, so that no registration ever names a removed file.
std::string UndoNewLayout(const NewLayoutPlan& plan, NewLayoutMade& made, const NewLayoutPorts& ports);
// How a failure after something was made is told: the reason, then what the
// undo did.
std::string UndoneText(const std::string& reason, const std::string& left);

// Plan, copy and register in one: a layout is made whole, or what was made
// for it is taken back and the failure says so. The catalogue is stale
// afterwards; the new entry is the one whose Id is `klid`.
NewLayoutResult CreateWithParams(int32_t templatePosition, int32_t language, const std::string& layoutName,
                                 const TLocales& catalogue, bool ntPlatform, const NewLayoutPorts& ports);

}  // namespace tastora
