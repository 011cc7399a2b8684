#pragma once
// The commands of tastora: one row of the table in Commands.cpp and one run
// function each. A run function gets its arguments read by the table.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/ExitStatus.h"
#include "app/cli/CommandDefinition.h"

namespace tastora {

std::span<const CommandDefinition> CliCommands();
const CommandDefinition* FindCommand(std::string_view name);
// The Windows program's own forms: "POS FILE" and "TEMPLATE FILE LANG NAME".
const CommandDefinition& PositionalForm();

int RunBuild(const ParsedArgs& args);
int RunCreate(const ParsedArgs& args);
int RunExport(const ParsedArgs& args);
int RunHelp(const ParsedArgs& args);
int RunInit(const ParsedArgs& args);
int RunInstall(const ParsedArgs& args);
int RunKeys(const ParsedArgs& args);
int RunList(const ParsedArgs& args);
int RunNew(const ParsedArgs& args);
int RunPicture(const ParsedArgs& args);
int RunRemove(const ParsedArgs& args);
int RunRestore(const ParsedArgs& args);
int RunPositional(const ParsedArgs& args);

}  // namespace tastora
