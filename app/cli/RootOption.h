#pragma once
// "--root DIR": the Windows root folder a subcommand works on. Without it the
// default root in the user's data folder is used, and made on first use; on
// Windows the running system is used instead.

#include <optional>
#include <string>
#include <vector>

#include "platform/PlatformFactory.h"

namespace tastora {

// Takes "--root DIR" (or "--root=DIR") out of `args`. False, with `error`,
// when the folder is missing or given twice.
bool TakeRootOption(std::vector<std::string>& args, std::optional<std::string>& root, std::string& error);

// Moves a "--root DIR" written before the subcommand to after it, so that
// "tastora --root DIR list" reaches the subcommand.
void MoveLeadingRootOption(std::vector<std::string>& args);

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
