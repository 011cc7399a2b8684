#pragma once
// The texts made from the command table: the usage line, each command's
// help, the program's help, and the one form of every usage error. The man
// page and the completions take the same pieces.

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/cli/CommandDefinition.h"

namespace tastora {

// "POS FILE [LANG]", "DATAFILE".
std::string PositionalSynopsis(const CommandDefinition& command);
// "tastora install [OPTIONS] POS FILE".
std::string CommandSynopsis(const CommandDefinition& command);
// "-o, --output OUT32.dll", "--root DIR".
std::string OptionSynopsis(const CommandOption& option);
// The options shown where the program runs: those for a root folder only where there is one.
std::vector<const CommandOption*> VisibleOptions(const CommandDefinition& command, const Conventions& conventions);
std::vector<const CommandDefinition*> VisibleCommands(const Conventions& conventions);
// The exit statuses a command can end with, and what each means.
std::vector<std::pair<int, const char*>> ExitStatuses(const CommandDefinition& command);

// "install a data file" as a sentence of its own.
std::string Sentence(std::string_view phrase);

// How to pass a value that starts with "-".
inline constexpr char kDashNote[] =
    "An argument that starts with '-' (a layout NAME, say) must follow '--', which ends the options: "
    "tastora new 2 0407 -- -Mine-. Negative numbers need no '--'.";

std::string CommandHelp(const CommandDefinition& command, const Conventions& conventions);
std::string ProgramHelp(const Conventions& conventions);

// Tells the error and the usage on the error stream; returns the exit status of wrong usage.
int UsageError(const CommandDefinition& command, std::string_view message);
int ProgramUsageError(std::string_view message);

}  // namespace tastora
