#include "app/cli/ManPage.h"

#include "app/cli/CommandHelp.h"
#include "app/cli/Commands.h"

namespace tastora {
namespace {

// Text as roff reads it: backslashes and minus signs escaped, no line taken for a request.
std::string Roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

std::string OptionItems(const CommandDefinition& command) {
  std::string out;
  for (const CommandOption& option : command.Options())
    out += ".TP\n.B " + Roff(OptionSynopsis(option).substr(option.shortName ? 0 : 4)) + "\n" + Roff(option.help) +
           (option.hostOnly ? " (Not on Windows, where the running system is used.)" : "") + "\n";
  return out;
}

std::string ExitItems(const CommandDefinition& command) {
  std::string out;
  for (const auto& [status, meaning] : ExitStatuses(command))
    out += ".TP\n.B " + std::to_string(status) + "\n" + Roff(meaning) + "\n";
  return out;
}

}  // namespace

std::string ManPage(const std::string& version) {
  std::string out = ".TH TASTORA 1 \"\" \"tastora " + Roff(version) + "\" \"User Commands\"\n"
                    ".SH NAME\ntastora \\- install custom keyboard layouts into Windows\n"
                    ".SH SYNOPSIS\n.B tastora\n.I COMMAND\n[\\fIOPTIONS\\fR] [\\fIARGS\\fR...]\n.br\n" +
                    Roff(CommandSynopsis(PositionalForm())) + "\n";
  out += ".SH DESCRIPTION\n"
         "tastora reads layout data files and layout libraries, writes layout libraries and points the registry of a "
         "Windows system at them. Outside Windows it works on a Windows folder tree (a root folder shaped like a "
         "Wine prefix), by default one in the user's data folder made on first use.\n"
         ".PP\nOptions may come before or after the command and its arguments.\n" + Roff(kDashNote) + "\n";
  out += ".SH COMMANDS\n";
  for (const CommandDefinition& command : CliCommands()) {
    out += ".SS \"" + Roff(CommandSynopsis(command)) + "\"\n" + Roff(Sentence(command.summary)) + "\n";
    if (command.details) out += ".PP\n" + Roff(command.details) + "\n";
    out += OptionItems(command);
  }
  const CommandDefinition& form = PositionalForm();
  out += ".SS \"" + Roff(CommandSynopsis(form)) + "\"\n" + Roff(Sentence(form.summary)) + " " + Roff(form.details) + "\n" +
         OptionItems(form);
  out += ".SH OPTIONS\n.TP\n.BR \\-h \", \" \\-\\-help\nShow the help of the program, or after a command the "
         "command's, and exit.\n.TP\n.B \\-\\-version\nShow the program's version and exit.\n";
  out += ".SH \"EXIT STATUS\"\n" + ExitItems(form);
  out += ".SH ENVIRONMENT\n.TP\n.B XDG_DATA_HOME\nThe default Windows root is $XDG_DATA_HOME/tastora/root.\n"
         ".TP\n.B HOME\nWithout XDG_DATA_HOME, the default root is ~/.local/share/tastora/root.\n";
  return out;
}

std::string BashCompletion() {
  std::string commands;
  std::string valueOptions;  // every option whose value is the next word
  std::string valueCases;
  std::string commandCases;
  std::vector<std::string> seen;
  auto addValue = [&](const CommandOption& option) {
    const std::string names =
        std::string("--") + option.longName + (option.shortName ? std::string("|-") + option.shortName : "");
    for (const std::string& s : seen)
      if (s == names) return;
    seen.push_back(names);
    valueOptions += (valueOptions.empty() ? "" : "|") + names;
    std::string reply = "";
    if (option.choices) {
      std::string words = option.choices;
      for (char& c : words) c = c == '|' ? ' ' : c;
      reply = "COMPREPLY=($(compgen -W '" + words + "' -- \"$cur\"))";
    } else if (option.completion == Completion::Directory) {
      reply = "COMPREPLY=($(compgen -d -- \"$cur\"))";
    } else if (option.completion == Completion::File) {
      reply = "COMPREPLY=($(compgen -f -- \"$cur\"))";
    }
    valueCases += "    " + names + ") " + reply + (reply.empty() ? "" : "; ") + "return ;;\n";
  };
  for (const CommandDefinition& command : CliCommands()) {
    commands += (commands.empty() ? "" : " ") + std::string(command.name);
    std::string options = "--help";
    for (const CommandOption& option : command.Options()) {
      options += std::string(" --") + option.longName;
      if (option.shortName) options += std::string(" -") + option.shortName;
      if (option.TakesValue()) addValue(option);
    }
    std::string operands = "";
    for (const CommandArgument& p : command.Positionals()) {
      if (p.completion == Completion::File) operands = "files";
      if (p.completion == Completion::Command) operands = "commands";
    }
    commandCases += "    " + std::string(command.name) + ") opts='" + options + "'; operands=" +
                    (operands.empty() ? "''" : operands) + " ;;\n";
  }
  for (const CommandOption& option : PositionalForm().Options())
    if (option.TakesValue()) addValue(option);

  return "# bash completion for tastora\n"
         "_tastora() {\n"
         "  local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
         "  local commands='" + commands + "' cmd='' i opts='--help --version' operands=''\n"
         "  case \"$prev\" in\n" + valueCases + "  esac\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    case \"${COMP_WORDS[i]}\" in\n"
         "      " + valueOptions + ") ((i++)) ;;\n"
         "      -*) ;;\n"
         "      *) cmd=\"${COMP_WORDS[i]}\"; break ;;\n"
         "    esac\n"
         "  done\n"
         "  if [[ -z $cmd ]]; then\n"
         "    if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\"));\n"
         "    else COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\")); fi\n"
         "    return\n"
         "  fi\n"
         "  case \"$cmd\" in\n" + commandCases + "  esac\n"
         "  if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\"))\n"
         "  elif [[ $operands == files ]]; then COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "  elif [[ $operands == commands ]]; then COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\")); fi\n"
         "}\n"
         "complete -o filenames -F _tastora tastora\n";
}

namespace {

// Text inside a zsh single-quoted _arguments argument: quotes closed and reopened, brackets and colons escaped.
std::string ZshText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\'') out += "'\\''";
    else if (c == '[' || c == ']' || c == ':') out += std::string("\\") + c;
    else out += c;
  }
  return out;
}

std::string ZshAction(Completion completion, const char* choices) {
  if (choices) {
    std::string words = choices;
    for (char& c : words) c = c == '|' ? ' ' : c;
    return "(" + words + ")";
  }
  switch (completion) {
    case Completion::File: return "_files";
    case Completion::Directory: return "_files -/";
    case Completion::Command: return "->commands";
    case Completion::None: break;
  }
  return " ";
}

}  // namespace

std::string ZshCompletion() {
  std::string described;
  std::string cases;
  for (const CommandDefinition& command : CliCommands()) {
    described += "    '" + std::string(command.name) + ":" + ZshText(command.summary) + "'\n";
    std::string specs = "        '(- *)'{-h,--help}'[show the help]'";
    for (const CommandOption& option : command.Options()) {
      const std::string help = "[" + ZshText(option.help) + "]";
      const std::string value =
          option.TakesValue() ? ":" + ZshText(option.valueName) + ":" + ZshAction(option.completion, option.choices) : "";
      specs += " \\\n        '--" + std::string(option.longName) + (option.TakesValue() ? "=" : "") + help + value + "'";
      if (option.shortName)
        specs += " \\\n        '-" + std::string(1, option.shortName) + (option.TakesValue() ? "+" : "") + help + value + "'";
    }
    int n = 0;
    for (const CommandArgument& p : command.Positionals())
      specs += " \\\n        '" + std::to_string(++n) + (p.required ? ":" : "::") + ZshText(p.name) + ":" +
               ZshAction(p.completion, nullptr) + "'";
    cases += "    " + std::string(command.name) + ")\n      _arguments \\\n" + specs + " && ret=0\n      ;;\n";
  }
  return "#compdef tastora\n"
         "# zsh completion for tastora\n"
         "_tastora() {\n"
         "  local curcontext=\"$curcontext\" state line ret=1\n"
         "  local -a commands\n"
         "  commands=(\n" + described + "  )\n"
         "  _arguments -C \\\n"
         "    '(- *)'{-h,--help}'[show the help]' \\\n"
         "    '(- *)--version[show the version]' \\\n"
         "    '1: :->commands' \\\n"
         "    '*:: :->args' && ret=0\n"
         "  case $state in\n"
         "    commands) _describe -t commands 'tastora command' commands && ret=0 ;;\n"
         "    args)\n"
         "      curcontext=\"${curcontext%:*:*}:tastora-$line[1]:\"\n"
         "      case $line[1] in\n" + cases + "      esac\n"
         "      [[ $state == commands ]] && _describe -t commands 'tastora command' commands && ret=0\n"
         "      ;;\n"
         "  esac\n"
         "  return ret\n"
         "}\n"
         "_tastora \"$@\"\n";
}

}  // namespace tastora
