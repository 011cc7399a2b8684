#pragma once
// The whole command line of tastora: the command word found wherever the
// options leave it, the command's arguments read by its table, the help and
// the version, and the Windows program's own forms for everything else.

#include <string>
#include <vector>

#include "app/cli/CommandDefinition.h"

namespace tastora {

// What the platform this program was built for takes on its command line.
Conventions PlatformConventions();

// `args` without the program's name. The exit status of the command.
int RunProgram(const std::vector<std::string>& args, const Conventions& conventions);
// As the platform this program was built for takes it.
int RunProgram(const std::vector<std::string>& args);

}  // namespace tastora
