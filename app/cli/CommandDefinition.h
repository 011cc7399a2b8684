#pragma once
// What a command takes, declared once: the parser, the help, the man page and
// the shell completions are all read from these rows.

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tastora {

// What a shell offers for a value.
enum class Completion { None, File, Directory, Command };

struct CommandOption {
  const char* longName = nullptr;  // without "--"; nullptr ends a command's list
  char shortName = 0;              // 0: none
  const char* valueName = nullptr;  // nullptr: a switch
  const char* help = "";
  // Only where the program works on a Windows root folder: left out of the
  // help on Windows, where the running system is used.
  bool hostOnly = false;
  const char* choices = nullptr;  // "10|xp": the only values taken
  Completion completion = Completion::None;

  bool TakesValue() const { return valueName != nullptr; }
};

struct CommandArgument {
  const char* name = nullptr;  // nullptr ends a command's list
  bool required = true;
  bool repeated = false;  // the last one only: takes every argument left
  Completion completion = Completion::None;
};

constexpr CommandArgument Arg(const char* name, Completion completion = Completion::None) {
  return {name, true, false, completion};
}
constexpr CommandArgument OptionalArg(const char* name, Completion completion = Completion::None) {
  return {name, false, false, completion};
}

// Where the program runs decides what its command line offers.
struct Conventions {
  bool hostOptions = true;  // the options for a Windows root folder are there
  bool slashHelp = false;   // "/?" asks for the help, as Windows programs take it
};

class ParsedArgs;

struct CommandDefinition {
  const char* name = "";  // "" for the Windows program's own positional forms
  const char* summary = "";
  std::array<CommandArgument, 4> positionals{};
  std::array<CommandOption, 8> options{};
  int (*run)(const ParsedArgs&) = nullptr;
  const char* details = nullptr;  // a paragraph of the help after the options
  const char* synopsis = nullptr;  // the positionals' part of the usage, where their names do not say it
  bool hostOnly = false;

  std::span<const CommandOption> Options() const { return UpToEnd(options, &CommandOption::longName); }
  std::span<const CommandArgument> Positionals() const { return UpToEnd(positionals, &CommandArgument::name); }
  const CommandOption* FindLong(std::string_view name) const;
  const CommandOption* FindShort(char name) const;

 private:
  template <class T, size_t N>
  static std::span<const T> UpToEnd(const std::array<T, N>& rows, const char* T::*name) {
    size_t n = 0;
    while (n < N && rows[n].*name) ++n;
    return std::span<const T>(rows.data(), n);
  }
};

// A command line read by the table of its command.
class ParsedArgs {
 public:
  ParsedArgs(const CommandDefinition& command, Conventions conventions) : command_(&command), conventions_(conventions) {}

  const CommandDefinition& Command() const { return *command_; }
  const Conventions& Host() const { return conventions_; }
  const std::vector<std::string>& Positionals() const { return positionals_; }
  // A switch or an option given; `longName` must be one of the command's.
  bool Has(std::string_view longName) const;
  std::optional<std::string> Value(std::string_view longName) const;

  void AddPositional(std::string value) { positionals_.push_back(std::move(value)); }
  void AddOption(const CommandOption& option, std::string value) { options_.emplace_back(&option, std::move(value)); }

 private:
  const CommandOption& Declared(std::string_view longName) const;

  const CommandDefinition* command_;
  Conventions conventions_;
  std::vector<std::string> positionals_;
  std::vector<std::pair<const CommandOption*, std::string>> options_;
};

}  // namespace tastora
