#include "app/cli/ArgumentParser.h"

#include <stdexcept>

namespace tastora {

const CommandOption* CommandDefinition::FindLong(std::string_view name) const {
  for (const CommandOption& option : Options())
    if (name == option.longName) return &option;
  return nullptr;
}

const CommandOption* CommandDefinition::FindShort(char name) const {
  for (const CommandOption& option : Options())
    if (option.shortName && option.shortName == name) return &option;
  return nullptr;
}

const CommandOption& ParsedArgs::Declared(std::string_view longName) const {
  // A name the table does not have is a slip in a command, never the user's.
  const CommandOption* option = command_->FindLong(longName);
  if (!option) throw std::logic_error("the command does not declare --" + std::string(longName));
  return *option;
}

bool ParsedArgs::Has(std::string_view longName) const {
  const CommandOption* option = &Declared(longName);
  for (const auto& given : options_)
    if (given.first == option) return true;
  return false;
}

std::optional<std::string> ParsedArgs::Value(std::string_view longName) const {
  const CommandOption* option = &Declared(longName);
  for (const auto& given : options_)
    if (given.first == option) return given.second;
  return std::nullopt;
}

bool LooksLikeOption(std::string_view arg) {
  return arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9');
}

bool IsHelpSwitch(std::string_view arg, const Conventions& conventions) {
  return arg == "--help" || arg == "-h" || (conventions.slashHelp && arg == "/?");
}

namespace {

std::string Shown(const CommandOption& option) { return std::string("--") + option.longName; }

std::string ChoicesList(std::string_view choices) {
  std::string out;
  for (char c : choices) out += c == '|' ? std::string(", ") : std::string(1, c);
  return out;
}

bool IsChoice(std::string_view choices, std::string_view value) {
  for (size_t start = 0;;) {
    const size_t bar = choices.find('|', start);
    if (choices.substr(start, bar - start) == value) return true;
    if (bar == std::string_view::npos) return false;
    start = bar + 1;
  }
}

// The value given to `option`, checked; an error text when it cannot be taken.
std::string TakeValue(ParsedArgs& parsed, const CommandOption& option, const std::string& value) {
  if (value.empty()) return Shown(option) + " needs a value (" + option.valueName + ")";
  if (option.choices && !IsChoice(option.choices, value))
    return "'" + value + "' is not a value of " + Shown(option) + " (" + ChoicesList(option.choices) + ")";
  if (parsed.Value(option.longName)) return Shown(option) + " is given twice";
  parsed.AddOption(option, value);
  return "";
}

// One option at args[i]; moves i past its value. An error text when it is not one of the command's.
std::string TakeOption(ParsedArgs& parsed, std::span<const std::string> args, size_t& i) {
  const CommandDefinition& command = parsed.Command();
  const std::string& arg = args[i];
  const CommandOption* option = nullptr;
  std::optional<std::string> inlineValue;
  if (arg.starts_with("--")) {
    const size_t equals = arg.find('=');
    option = command.FindLong(std::string_view(arg).substr(2, equals == std::string::npos ? equals : equals - 2));
    if (equals != std::string::npos) inlineValue = arg.substr(equals + 1);
  } else {
    option = command.FindShort(arg[1]);
    if (option && arg.size() > 2) {
      if (!option->TakesValue()) option = nullptr;  // grouped switches are not taken
      else inlineValue = arg.substr(2);
    }
  }
  if (!option) return "unknown option '" + arg + "'";
  if (!option->TakesValue()) {
    if (inlineValue) return Shown(*option) + " takes no value";
    if (!parsed.Has(option->longName)) parsed.AddOption(*option, "");
    return "";
  }
  if (!inlineValue) {
    if (i + 1 >= args.size()) return Shown(*option) + " needs a value (" + option->valueName + ")";
    inlineValue = args[++i];
  }
  return TakeValue(parsed, *option, *inlineValue);
}

std::string CheckCount(const CommandDefinition& command, const std::vector<std::string>& given) {
  size_t required = 0;
  bool repeated = false;
  const auto positionals = command.Positionals();
  for (const CommandArgument& p : positionals) {
    if (p.required) ++required;
    repeated = repeated || p.repeated;
  }
  if (given.size() < required) return std::string("missing ") + positionals[given.size()].name;
  if (!repeated && given.size() > positionals.size())
    return "unexpected argument '" + given[positionals.size()] + "'";
  return "";
}

}  // namespace

ParseOutcome ParseArguments(const CommandDefinition& command, std::span<const std::string> args,
                            const Conventions& conventions) {
  ParseOutcome outcome{ParsedArgs(command, conventions), "", false, false};
  bool options = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && IsHelpSwitch(arg, conventions)) {
      outcome.help = true;
    } else if (options && arg == "--version") {
      outcome.version = true;
    } else if (options && LooksLikeOption(arg)) {
      std::string error = TakeOption(outcome.args, args, i);
      if (outcome.error.empty()) outcome.error = std::move(error);
    } else {
      outcome.args.AddPositional(arg);
    }
  }
  if (outcome.error.empty()) outcome.error = CheckCount(command, outcome.args.Positionals());
  return outcome;
}

}  // namespace tastora
