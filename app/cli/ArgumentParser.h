#pragma once
// One reader for every command's arguments: options in any position, long
// ("--root DIR", "--root=DIR") and short ("-o OUT", "-oOUT"), "--" ending the
// options, and positionals counted against the command's table.

#include <span>
#include <string>
#include <string_view>

#include "app/cli/CommandDefinition.h"

namespace tastora {

struct ParseOutcome {
  ParsedArgs args;
  std::string error;  // empty when the arguments fit the table
  bool help = false;     // "--help", "-h" (and "/?" where Windows conventions hold) win over errors
  bool version = false;
};

ParseOutcome ParseArguments(const CommandDefinition& command, std::span<const std::string> args,
                            const Conventions& conventions);

// An argument read as an option: "-x", "--x"; not "-", and not a negative
// number, which no option looks like.
bool LooksLikeOption(std::string_view arg);

bool IsHelpSwitch(std::string_view arg, const Conventions& conventions);

}  // namespace tastora
