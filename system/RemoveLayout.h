#pragma once
// Removing a layout this program created: it leaves the user's layout list
// (Preload, closing the gap, and Substitutes) and language list, then its
// registration goes, then our libraries in both system folders, then its
// records in "loader.ini". Layouts of the system are never removed (they are restored),
// nor the user's default or only layout.

#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "platform/Profile.h"
#include "platform/RegistryBackend.h"
#include "platform/SystemFiles.h"
#include "system/Locales.h"
#include "system/UserLanguageList.h"

namespace tastora {

struct RemovePorts {
  RegistryBackend& registry;
  Profile& profile;
  SystemFiles& files;
  Dialogs& dialogs;
  // The user's language list; null where Windows keeps none (before 8).
  const LanguageListPorts* languageList = nullptr;
};

enum class RemoveResult {
  Removed,    // nothing of it is left (but files Windows deletes at the next restart)
  Cancelled,  // the user said No; nothing changed
  Refused,    // not a layout that may be removed (told); nothing changed
  Failed,     // a step failed (told, with what was done and what is left)
};

// How the layout is known to be ours.
enum class LayoutOrigin {
  NotOurs,
  Recorded,    // "loader.ini" records it
  Recognised,  // made before the record was kept: its "KBDn" copy and "Layout Id" say so
};

// Everything a removal will do, worked out before anything changes.
struct RemovalPlan {
  std::string klid;        // the registration
  std::string name;        // its layout text, for the messages
  std::string copy;        // the template copy made for it ("KBD0.dll")
  LayoutOrigin origin = LayoutOrigin::NotOurs;
  bool ntPlatform = true;
  // The user's Preload entries (name, identifier) as they are, and as they
  // will be: without the layout's, renumbered from 1 without a gap.
  std::vector<std::pair<std::string, std::string>> preloadBefore;
  std::vector<std::pair<std::string, std::string>> preloadAfter;
  std::vector<std::string> substitutes;  // names of the Substitutes entries that lead to it
  std::vector<LanguageListPlace> languageList;  // its entries in the user's language list
  std::vector<std::string> ids;          // the identifiers its "loader.ini" records may be under
  std::vector<std::string> files;        // our libraries, in each system folder
};

// The removal of the catalogue entry at `position` worked out, or a refusal
// (shown, with `result` set to Refused): an entry this program did not
// create, the user's default layout (Preload "1", or the layout its
// substitute names), and the user's only layout.
bool PlanRemoval(const TLocales& catalogue, int position, bool ntPlatform, const RemovePorts& ports,
                 RemovalPlan& plan);

// Removes the entry at `position` after planning it. A layout recognised by
// its library alone is removed only after the user confirms; so is a
// recorded one when `confirm` is set (the window asks, the command line
// does not). A library Windows holds open is deleted at the next restart,
// and the message says so. The catalogue is stale afterwards.
RemoveResult RemoveLayout(const TLocales& catalogue, int position, bool ntPlatform, bool confirm,
                          const RemovePorts& ports);

// Finishes removals cut short (a kill, a power cut) after their registry
// pass: a layout "loader.ini" records as created whose registration is gone
// loses its libraries, then its records. Nothing is said; a library that
// cannot go yet keeps its record and is tried again.
void FinishCutRemovals(bool ntPlatform, const RemovePorts& ports);

// Whether the entry is one this program created (the Remove button's state).
LayoutOrigin OriginOf(const LayoutEntry& entry, bool ntPlatform, const RemovePorts& ports);

}  // namespace tastora
