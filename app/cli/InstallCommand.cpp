// tastora install, create, new, restore, remove, and the Windows program's own
// command line (two or four arguments without a command): the main window's
// actions, unattended. The exit status says what happened: 0 only when the
// change was really made, kExitCancelled when a question was answered No.

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/MainActions.h"
#include "app/cli/Commands.h"
#include "app/cli/RootOption.h"
#include "app/cli/TerminalDialogs.h"
#include "app/cli/WaitOption.h"
#include "model/ProcessState.h"
#include "platform/PlatformFactory.h"

namespace tastora {
namespace {

struct Options {
  std::optional<std::string> root;
  std::optional<bool> answer;  // --yes / --no
  std::chrono::milliseconds wait = kDefaultLockWait;  // --wait SECONDS
  std::vector<std::string> operands;
};

// Takes --root, --yes, --no and --wait; everything else not starting with "--" is an operand.
bool TakeOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  std::vector<std::string> rest = args;
  if (!TakeRootOption(rest, options.root, error)) return false;
  if (!TakeWaitOption(rest, options.wait, error)) return false;
  for (const std::string& arg : rest) {
    if (arg == "--yes" || arg == "--no") {
      const bool yes = arg == "--yes";
      if (options.answer && *options.answer != yes) {
        error = "--yes and --no exclude each other";
        return false;
      }
      options.answer = yes;
    } else if (arg.rfind("--", 0) == 0) {
      error = "unknown option '" + arg + "'";
      return false;
    } else {
      options.operands.push_back(arg);
    }
  }
  return true;
}

// Opens the system, starts the main actions in command-line mode and runs `action` on them.
int WithMainActions(const char* command, const Options& options,
                    const std::function<int(MainActions&, TerminalDialogs&)>& action) {
  std::string error;
  const auto root = ResolveRoot(options.root, error);
  if (!root) {
    std::fprintf(stderr, "tastora %s: %s\n", command, error.c_str());
    return kExitFailure;
  }
  auto codePages = MakeCodePages();
  TerminalDialogs dialogs(stdout, stderr, options.answer);
  auto system = OpenSystem(*root, *codePages, dialogs, error);
  if (!system) {
    std::fprintf(stderr, "tastora %s: %s\n", command, error.c_str());
    return kExitFailure;
  }
  auto state = std::make_unique<ProcessState>();
  state->unattended = true;
  MainActions actions(*system, *codePages, dialogs, *state);
  actions.CommandLineMode = true;
  actions.lockWait = options.wait;
  // One action from the catalogue read to the last write: positions mean
  // what they meant when the lock was taken.
  const MainActions::ActionGuard guard = actions.Exclusive();
  if (!guard.Held()) return kExitFailure;
  actions.Start();
  const int status = action(actions, dialogs);
  return status;  // a failed write of the report is told on stderr by main, and changes nothing here
}

void ReportInstall(const char* command, MainActions& actions, InstallResult result, int position,
                   const std::string& dataFile) {
  switch (result) {
    case InstallResult::Installed: {
      const LayoutEntry entry = actions.Catalogue().Get(position);
      const std::string text = entry.LayoutText.Empty() ? "" : " (" + entry.LayoutText.Str() + ")";
      // The registry's word, not the catalogue's copy of it.
      std::printf("Installed %s over layout %d, %s%s: its layout file is now %s.\n", dataFile.c_str(), position,
                  entry.EffectiveKlid().c_str(), text.c_str(), actions.RegisteredFile(position).c_str());
      break;
    }
    case InstallResult::Cancelled:
      std::fprintf(stderr, "tastora %s: cancelled; %s was not installed.\n", command, dataFile.c_str());
      break;
    case InstallResult::Failed:
      std::fprintf(stderr, "tastora %s: %s was not installed.\n", command, dataFile.c_str());
      break;
  }
}

// The install or create-and-install of a command line already read.
int RunParsed(const char* command, const Options& options, const CommandLine& commandLine) {
  return WithMainActions(command, options, [&](MainActions& actions, TerminalDialogs&) {
    const InstallResult result = actions.RunCommandLine(commandLine);
    ReportInstall(command, actions, result, actions.EditedPosition(), commandLine.dataFile);
    return ExitStatus(result);
  });
}

int Usage(const char* command, const std::string& error, const char* usage) {
  std::fprintf(stderr, "tastora%s%s: %s\n%s", *command ? " " : "", command, error.c_str(), usage);
  return kExitUsage;
}

constexpr char kInstallUsage[] = "usage: tastora install POS FILE [--root DIR] [--yes|--no] [--wait SECONDS]\n";
constexpr char kCreateUsage[] =
    "usage: tastora create TEMPLATE FILE [LANG NAME] [--root DIR] [--yes|--no] [--wait SECONDS]\n"
    "LANG and NAME may be left out for a .klc FILE, which gives them.\n";
constexpr char kNewUsage[] = "usage: tastora new TEMPLATE LANG NAME [--root DIR] [--wait SECONDS]\n";
constexpr char kRestoreUsage[] = "usage: tastora restore POS [--root DIR] [--yes|--no] [--wait SECONDS]\n";
constexpr char kRemoveUsage[] = "usage: tastora remove POS [--root DIR] [--yes|--no] [--wait SECONDS]\n";
constexpr char kPositionalUsage[] =
    "usage: tastora POS FILE, or tastora TEMPLATE FILE LANG NAME [--root DIR] [--yes|--no] [--wait SECONDS]\n";

// The command line of one form: options and exactly `count` operands, read as the Windows program reads them.
int RunForm(const char* command, const char* usage, const std::vector<std::string>& args, size_t count) {
  Options options;
  std::string error;
  if (!TakeOptions(args, options, error)) return Usage(command, error, usage);
  // A create may leave the language and name to its (.klc) file.
  const bool fromFile = count == 4 && options.operands.size() == 2;
  if (options.operands.size() != count && !fromFile)
    return Usage(command, "expected " + std::to_string(count) + " arguments", usage);
  CommandLine commandLine;
  if (!ParseCommandLine(options.operands, commandLine, error)) return Usage(command, error, usage);
  if (fromFile) commandLine.create = CommandLine::Create{0, "", true};
  return RunParsed(command, options, commandLine);
}

}  // namespace

int RunInstall(const std::vector<std::string>& args) { return RunForm("install", kInstallUsage, args, 2); }

int RunCreate(const std::vector<std::string>& args) { return RunForm("create", kCreateUsage, args, 4); }

int RunNew(const std::vector<std::string>& args) {
  Options options;
  std::string error;
  if (!TakeOptions(args, options, error)) return Usage("new", error, kNewUsage);
  if (options.operands.size() != 3) return Usage("new", "expected 3 arguments", kNewUsage);
  const auto templatePosition = ParseDecimal(options.operands[0]);
  if (!templatePosition)
    return Usage("new", "'" + options.operands[0] + "' is not a valid catalogue position (a decimal number)",
                 kNewUsage);
  const auto language = ParseHex(options.operands[1]);
  if (!language)
    return Usage("new", "'" + options.operands[1] + "' is not a valid language (up to eight hexadecimal digits)",
                 kNewUsage);
  const std::string name = options.operands[2];
  return WithMainActions("new", options, [&](MainActions& actions, TerminalDialogs&) {
    const NewLayoutResult made = actions.New(*templatePosition, *language, name);
    if (!made.created) {
      std::fprintf(stderr, "tastora new: no layout was created.\n");
      return kExitFailure;
    }
    std::printf("Created layout %s (%s) with the library %s.\n", made.klid.c_str(), name.c_str(),
                made.fileName.c_str());
    return kExitOk;
  });
}

// The commands that act on one catalogue entry: options and a position.
int RunOnEntry(const char* command, const char* usage, const std::vector<std::string>& args,
               const std::function<int(MainActions&, int)>& action) {
  Options options;
  std::string error;
  if (!TakeOptions(args, options, error)) return Usage(command, error, usage);
  if (options.operands.size() != 1) return Usage(command, "expected 1 argument", usage);
  const auto position = ParseDecimal(options.operands[0]);
  if (!position)
    return Usage(command, "'" + options.operands[0] + "' is not a valid catalogue position (a decimal number)",
                 usage);
  return WithMainActions(command, options,
                         [&](MainActions& actions, TerminalDialogs&) { return action(actions, *position); });
}

int RunRestore(const std::vector<std::string>& args) {
  return RunOnEntry("restore", kRestoreUsage, args, [](MainActions& actions, int position) {
    const InstallResult result = actions.Restore(position);
    if (result == InstallResult::Cancelled) std::fprintf(stderr, "tastora restore: cancelled; nothing changed.\n");
    else if (result == InstallResult::Failed) std::fprintf(stderr, "tastora restore: the layout was not restored.\n");
    return ExitStatus(result);
  });
}

int RunRemove(const std::vector<std::string>& args) {
  return RunOnEntry("remove", kRemoveUsage, args, [](MainActions& actions, int position) {
    const LayoutEntry entry = actions.Catalogue().Get(position);
    const InstallResult result = actions.Remove(position);
    if (result == InstallResult::Installed) {
      const std::string text = entry.LayoutText.Empty() ? "" : " (" + entry.LayoutText.Str() + ")";
      std::printf("Removed layout %s%s.\n", entry.EffectiveKlid().c_str(), text.c_str());
    } else if (result == InstallResult::Cancelled) {
      std::fprintf(stderr, "tastora remove: cancelled; nothing changed.\n");
    } else {
      std::fprintf(stderr, "tastora remove: the layout was not removed.\n");
    }
    return ExitStatus(result);
  });
}

int RunPositional(const std::vector<std::string>& args) {
  Options options;
  std::string error;
  if (!TakeOptions(args, options, error)) return Usage("", error, kPositionalUsage);
  if (options.operands.size() != 2 && options.operands.size() != 4) {
    const std::string first =
        !options.operands.empty() ? options.operands.front() : args.empty() ? std::string() : args.front();
    std::fprintf(stderr, "tastora: unknown command '%s' (see tastora --help)\n", first.c_str());
    return kExitUsage;
  }
  CommandLine commandLine;
  if (!ParseCommandLine(options.operands, commandLine, error)) return Usage("", error, kPositionalUsage);
  return RunParsed(commandLine.create ? "create" : "install", options, commandLine);
}

}  // namespace tastora
