#include "app/cli/Program.h"

#include <cstdio>

#include "app/cli/ArgumentParser.h"
#include "app/cli/CommandHelp.h"
#include "app/cli/Commands.h"
#include "app/cli/TerminalDialogs.h"
#include "platform/PlatformFactory.h"

namespace tastora {
namespace {

// Where the output is all the command does: written, or failed.
int PrintedStatus(int status) { return StandardOutputWritten() ? status : kExitFailure; }

int PrintText(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  return PrintedStatus(kExitOk);
}

int PrintVersion() { return PrintText(std::string("tastora ") + TASTORA_VERSION + "\n"); }

// An option written as its own word whose value is the next word, in any
// command: the value is no command word.
bool TakesNextWord(const std::string& arg) {
  auto declares = [&arg](const CommandDefinition& command) {
    const CommandOption* option = arg.starts_with("--") ? command.FindLong(std::string_view(arg).substr(2))
                               : arg.size() == 2 ? command.FindShort(arg[1])
                                                 : nullptr;
    return option && option->TakesValue();
  };
  if (declares(PositionalForm())) return true;
  for (const CommandDefinition& command : CliCommands())
    if (declares(command)) return true;
  return false;
}

struct Operand {
  size_t at = std::string::npos;  // the first argument that is no option
  bool afterDashes = false;
};

Operand FirstOperand(const std::vector<std::string>& args, const Conventions& conventions) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--") return i + 1 < args.size() ? Operand{i + 1, true} : Operand{};
    if (IsHelpSwitch(args[i], conventions)) continue;
    if (!LooksLikeOption(args[i])) return {i, false};
    if (TakesNextWord(args[i])) ++i;
  }
  return {};
}

bool Any(const std::vector<std::string>& args, bool (*test)(const std::string&, const Conventions&),
         const Conventions& conventions) {
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (test(arg, conventions)) return true;
  }
  return false;
}

}  // namespace

Conventions PlatformConventions() { return {PlatformUsesRootFolder(), PlatformTakesSlashHelp()}; }

int RunProgram(const std::vector<std::string>& args, const Conventions& conventions) {
  const Operand operand = FirstOperand(args, conventions);
  if (operand.at == std::string::npos) {
    if (Any(args, [](const std::string& a, const Conventions& c) { return IsHelpSwitch(a, c); }, conventions))
      return PrintText(ProgramHelp(conventions));
    if (Any(args, [](const std::string& a, const Conventions&) { return a == "--version"; }, conventions))
      return PrintVersion();
    return ProgramUsageError("no command given");
  }
  const CommandDefinition* command = operand.afterDashes ? nullptr : FindCommand(args[operand.at]);
  std::vector<std::string> rest = args;
  if (command) rest.erase(rest.begin() + long(operand.at));
  const CommandDefinition& definition = command ? *command : PositionalForm();
  const ParseOutcome parsed = ParseArguments(definition, rest, conventions);
  if (parsed.help) return PrintText(command ? CommandHelp(definition, conventions) : ProgramHelp(conventions));
  if (parsed.version) return PrintVersion();
  // Anything but the Windows program's two forms is a word we do not know.
  const size_t count = parsed.args.Positionals().size();
  if (!command && count != 2 && count != 4) return ProgramUsageError("unknown command '" + args[operand.at] + "'");
  if (!parsed.error.empty()) return UsageError(definition, parsed.error);
  return definition.run(parsed.args);
}

int RunProgram(const std::vector<std::string>& args) { return RunProgram(args, PlatformConventions()); }

int RunHelp(const ParsedArgs& args) {
  if (args.Positionals().empty()) return PrintText(ProgramHelp(args.Host()));
  const CommandDefinition* command = FindCommand(args.Positionals()[0]);
  if (!command) return UsageError(args.Command(), "unknown command '" + args.Positionals()[0] + "'");
  return PrintText(CommandHelp(*command, args.Host()));
}

}  // namespace tastora
