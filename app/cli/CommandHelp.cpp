#include "app/cli/CommandHelp.h"

#include <cstdio>

#include "app/ExitStatus.h"
#include "app/cli/Commands.h"

namespace tastora {
namespace {

constexpr size_t kWidth = 79;
constexpr size_t kColumn = 28;

// `text` broken into lines at spaces, the first one starting at `at`, the others indented by `indent`.
std::string Wrap(std::string_view text, size_t at, size_t indent) {
  std::string out;
  size_t column = at;
  bool lineStart = true;
  while (!text.empty()) {
    const size_t space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    if (!lineStart && column + 1 + word.size() > kWidth) {
      out += "\n" + std::string(indent, ' ');
      column = indent;
      lineStart = true;
    }
    if (!lineStart) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    lineStart = false;
  }
  return out;
}

std::string ProgramName(const CommandDefinition& command) {
  return *command.name ? std::string("tastora ") + command.name : std::string("tastora");
}

std::string Row(const std::string& left, std::string_view help) {
  std::string line = "  " + left;
  if (line.size() + 2 > kColumn) line += "\n" + std::string(kColumn, ' ');
  else line += std::string(kColumn - line.size(), ' ');
  return line + Wrap(help, kColumn, kColumn) + "\n";
}

std::string ExitStatusRows(const CommandDefinition& command) {
  std::string out = "exit status:\n";
  for (const auto& [status, meaning] : ExitStatuses(command))
    out += "  " + std::to_string(status) + "  " + meaning + "\n";
  return out;
}

}  // namespace

std::string Sentence(std::string_view phrase) {
  std::string out(phrase);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = char(out[0] - 'a' + 'A');
  return out + ".";
}

std::string PositionalSynopsis(const CommandDefinition& command) {
  if (command.synopsis) return command.synopsis;
  std::string out;
  for (const CommandArgument& p : command.Positionals()) {
    if (!out.empty()) out += ' ';
    std::string name = p.name;
    if (p.repeated) name += "...";
    out += p.required ? name : "[" + name + "]";
  }
  return out;
}

std::string CommandSynopsis(const CommandDefinition& command) {
  std::string out = ProgramName(command);
  if (!command.Options().empty()) out += " [OPTIONS]";
  const std::string positionals = PositionalSynopsis(command);
  if (!positionals.empty()) out += " " + positionals;
  return out;
}

std::string OptionSynopsis(const CommandOption& option) {
  // Long names line up whether or not a short one comes first.
  std::string out = option.shortName ? std::string("-") + option.shortName + ", " : std::string("    ");
  out += std::string("--") + option.longName;
  if (option.TakesValue()) out += std::string(" ") + (option.choices ? option.choices : option.valueName);
  return out;
}

std::vector<const CommandOption*> VisibleOptions(const CommandDefinition& command, const Conventions& conventions) {
  std::vector<const CommandOption*> out;
  for (const CommandOption& option : command.Options())
    if (conventions.hostOptions || !option.hostOnly) out.push_back(&option);
  return out;
}

std::vector<const CommandDefinition*> VisibleCommands(const Conventions& conventions) {
  std::vector<const CommandDefinition*> out;
  for (const CommandDefinition& command : CliCommands())
    if (conventions.hostOptions || !command.hostOnly) out.push_back(&command);
  return out;
}

std::vector<std::pair<int, const char*>> ExitStatuses(const CommandDefinition& command) {
  std::vector<std::pair<int, const char*>> out{
      {kExitOk, "the action happened (where the output is the action: it was written)"},
      {kExitFailure, "it failed"},
      {kExitUsage, "wrong usage"},
  };
  if (command.FindLong("no")) out.emplace_back(kExitCancelled, "a question was answered No");
  return out;
}

std::string CommandHelp(const CommandDefinition& command, const Conventions& conventions) {
  std::string out = "usage: " + CommandSynopsis(command) + "\n\n" + Wrap(Sentence(command.summary), 0, 0) + "\n";
  if (command.details) out += "\n" + Wrap(command.details, 0, 0) + "\n";
  out += "\noptions:\n";
  for (const CommandOption* option : VisibleOptions(command, conventions)) out += Row(OptionSynopsis(*option), option->help);
  out += Row(conventions.slashHelp ? "-h, --help, /?" : "-h, --help", "show this help");
  if (!command.Positionals().empty()) out += "\n" + Wrap(kDashNote, 0, 0) + "\n";
  return out + "\n" + ExitStatusRows(command);
}

std::string ProgramHelp(const Conventions& conventions) {
  std::string out = "usage: tastora COMMAND [OPTIONS] [ARGS...]\n"
                    "       " + CommandSynopsis(PositionalForm()) + "\n\n"
                    "Installs custom keyboard layouts into Windows.\n\ncommands:\n";
  for (const CommandDefinition* command : VisibleCommands(conventions)) out += Row(command->name, command->summary);
  out += "\noptions:\n";
  out += Row(conventions.slashHelp ? "-h, --help, /?" : "-h, --help",
             "show this help; after a command, the command's help");
  out += Row("    --version", "show the program's version");
  out += "\n" + Wrap("Options may come before or after the command and its arguments. " + std::string(kDashNote), 0, 0);
  return out + "\n\n" + ExitStatusRows(PositionalForm());
}

int UsageError(const CommandDefinition& command, std::string_view message) {
  const std::string name = ProgramName(command);
  std::fprintf(stderr, "%s: %.*s\nusage: %s\nTry '%s --help' for more.\n", name.c_str(), int(message.size()),
               message.data(), CommandSynopsis(command).c_str(), name.c_str());
  return kExitUsage;
}

int ProgramUsageError(std::string_view message) {
  std::fprintf(stderr, "tastora: %.*s\nusage: tastora COMMAND [OPTIONS] [ARGS...]\nTry 'tastora --help' for more.\n",
               int(message.size()), message.data());
  return kExitUsage;
}

}  // namespace tastora
