// tastora: the command-line front end. Every subcommand returns the process
// exit status: 0 only when the action really happened.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/cli/Commands.h"
#include "app/cli/RootOption.h"
#include "app/cli/TerminalDialogs.h"
#include "platform/PlatformFactory.h"

namespace {

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: tastora COMMAND [ARGS...]\n"
               "\n"
               "Installs custom keyboard layouts into Windows.\n"
               "\n"
               "commands:\n");
  for (const tastora::CliCommand& c : tastora::CliCommands())
    std::fprintf(out, "  %-34s %s\n", c.synopsis, c.summary);
  std::fprintf(out,
               "\n"
               "  --help                             this text\n"
               "  --version                          the program's version\n");
}

// The status says whether the action happened; output the standard output
// did not take (a full disk, a closed pipe) is reported on the error stream
// and changes it not. The commands whose action is their output (list, keys,
// export without -o, the help) have answered for it in their own status.
int FinishOutput(int status) {
  errno = 0;
  if (tastora::StandardOutputWritten()) return status;
  const int reason = errno;
  std::fprintf(stderr, "tastora: could not write to the standard output%s%s\n", reason ? ": " : "",
               reason ? std::strerror(reason) : "");
  return status;
}

// Where the output is all the command does: written, or failed.
int PrintedStatus(int status) { return tastora::StandardOutputWritten() ? status : tastora::kExitFailure; }

int Run(std::vector<std::string> args) {
  // "tastora --root DIR COMMAND ..." works as well as "tastora COMMAND --root DIR ...".
  tastora::MoveLeadingRootOption(args);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(stdout);
    return PrintedStatus(args.empty() ? tastora::kExitUsage : 0);
  }
  if (args[0] == "--version") {
    std::printf("tastora %s\n", TASTORA_VERSION);
    return PrintedStatus(0);
  }
  for (const tastora::CliCommand& c : tastora::CliCommands()) {
    if (args[0] == c.name) {
      std::vector<std::string> rest(args.begin() + 1, args.end());
      return c.run(rest);
    }
  }
  // Anything else is the Windows program's own command line.
  return tastora::RunPositional(args);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef SIGPIPE
  // A reader of the output that went away must not end an install half-way:
  // the write fails instead, and is reported.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  return FinishOutput(Run(tastora::ProgramArguments(argc, argv)));
}
