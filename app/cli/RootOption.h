#pragma once
// "--root DIR": the Windows root folder a subcommand works on. Without it the
// default root in the user's data folder is used, and made on first use; on
// Windows the running system is used instead.

#include <optional>
#include <string>

#include "platform/PlatformFactory.h"

namespace tastora {

// $XDG_DATA_HOME/tastora/root, or ~/.local/share/tastora/root.
std::string DefaultRootDir();

// The root to work on: the one given, else the default one, made when it is
// not there yet. Empty on Windows (the running system). Nothing, with
// `error`, when none can be had.
std::optional<std::string> ResolveRoot(const std::optional<std::string>& given, std::string& error);

// Makes a root with a handful of real layouts registered and preloaded
// (defined with the init command).
bool InitializeRoot(const std::string& dir, RootWindows windows, std::string& error);

}  // namespace tastora
