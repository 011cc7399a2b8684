// tastora install, create, new, restore, remove, and the Windows program's own
// command line (two or four arguments without a command): the main window's
// actions, unattended. The exit status says what happened: 0 only when the
// change was really made, kExitCancelled when a question was answered No.

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/MainActions.h"
#include "app/cli/CommandHelp.h"
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
};

// A switch the command has and was given (new asks no questions: no --yes).
bool Given(const ParsedArgs& args, const char* name) { return args.Command().FindLong(name) && args.Has(name); }

// --root, --yes, --no and --wait; false, with `error`, when they cannot be taken together.
bool ReadOptions(const ParsedArgs& args, Options& options, std::string& error) {
  options.root = args.Value("root");
  if (Given(args, "yes") && Given(args, "no")) {
    error = "--yes and --no exclude each other";
    return false;
  }
  if (Given(args, "yes") || Given(args, "no")) options.answer = Given(args, "yes");
  return ReadWaitOption(args, options.wait, error);
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

// The command line of one form, read as the Windows program reads its own.
int RunForm(const ParsedArgs& args, bool create) {
  Options options;
  std::string error;
  if (!ReadOptions(args, options, error)) return UsageError(args.Command(), error);
  const std::vector<std::string>& operands = args.Positionals();
  if (create && operands.size() == 3)
    return UsageError(args.Command(), "LANG and NAME go together: both, or neither for a .klc FILE");
  CommandLine commandLine;
  if (!ParseCommandLine(operands, commandLine, error)) return UsageError(args.Command(), error);
  // A create may leave the language and name to its (.klc) file.
  if (create && operands.size() == 2) commandLine.create = CommandLine::Create{0, "", true};
  return RunParsed(commandLine.create ? "create" : "install", options, commandLine);
}

}  // namespace

int RunInstall(const ParsedArgs& args) { return RunForm(args, false); }

int RunCreate(const ParsedArgs& args) { return RunForm(args, true); }

// The Windows program's own forms: the table took two or four arguments.
int RunPositional(const ParsedArgs& args) { return RunForm(args, false); }

int RunNew(const ParsedArgs& args) {
  Options options;
  std::string error;
  if (!ReadOptions(args, options, error)) return UsageError(args.Command(), error);
  const std::vector<std::string>& operands = args.Positionals();
  const auto templatePosition = ParseDecimal(operands[0]);
  if (!templatePosition)
    return UsageError(args.Command(), "'" + operands[0] + "' is not a valid catalogue position (a decimal number)");
  const auto language = ParseHex(operands[1]);
  if (!language)
    return UsageError(args.Command(), "'" + operands[1] + "' is not a valid language (up to eight hexadecimal digits)");
  const std::string name = operands[2];
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
int RunOnEntry(const ParsedArgs& args, const std::function<int(MainActions&, int)>& action) {
  Options options;
  std::string error;
  if (!ReadOptions(args, options, error)) return UsageError(args.Command(), error);
  const std::string& operand = args.Positionals()[0];
  const auto position = ParseDecimal(operand);
  if (!position)
    return UsageError(args.Command(), "'" + operand + "' is not a valid catalogue position (a decimal number)");
  return WithMainActions(args.Command().name, options,
                         [&](MainActions& actions, TerminalDialogs&) { return action(actions, *position); });
}

int RunRestore(const ParsedArgs& args) {
  return RunOnEntry(args, [](MainActions& actions, int position) {
    const InstallResult result = actions.Restore(position);
    if (result == InstallResult::Cancelled) std::fprintf(stderr, "tastora restore: cancelled; nothing changed.\n");
    else if (result == InstallResult::Failed) std::fprintf(stderr, "tastora restore: the layout was not restored.\n");
    return ExitStatus(result);
  });
}

int RunRemove(const ParsedArgs& args) {
  return RunOnEntry(args, [](MainActions& actions, int position) {
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

}  // namespace tastora
