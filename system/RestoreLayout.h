#pragma once
// Restoring a layout that an install replaced: its registration is pointed
// back at the system's own file, whose name is the installed file's name
// without its two-character prefix ("l_kbdus.dll" -> "kbdus.dll"). No file
// is copied or deleted.

#include "platform/Platform.h"
#include "platform/RegistryBackend.h"
#include "platform/SystemFiles.h"
#include "system/Locales.h"

namespace tastora {

inline constexpr char kRestoreHint[] =
    "Restores the selected layout to the original one.\r"
    "This works for the original layouts edited by this program.\r"
    "This does not work for the layouts created using the New button.";
inline constexpr char kNotFromSystemLayout[] =
    "This layout does not originate from the original system layout, so it cannot be restored to the default "
    "system layout!";
inline constexpr char kRestoreCaption[] = "Warning!";
inline constexpr char kRestoreQuestion[] =
    "Warning! This will restore the selected layout to the original system state. Do you want to continue?";
inline constexpr char kRestored[] = "The selected layout has been restored to the original state!";

struct RestorePorts {
  RegistryBackend& registry;
  SystemFiles& files;
  Dialogs& dialogs;
};

// Restores the catalogue entry at `position` after the user confirms, and
// shows the new file name in the catalogue at once. True only when the
// registration was rewritten. Nothing happens for a position outside the
// catalogue (no row selected). Refused with a message, before asking: a file
// name without the install prefix, one that is not a plain file name, and a
// system file that is not in the system folder (or, on 64-bit Windows, not
// in the native one), which the registration would then name.
bool RestoreLayout(TLocales& catalogue, int position, const RestorePorts& ports);

}  // namespace tastora
