// tastora: the command-line front end. Every subcommand returns the process
// exit status: 0 only when the action really happened.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/cli/Commands.h"
#include "app/cli/RootOption.h"

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

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // "tastora --root DIR COMMAND ..." works as well as "tastora COMMAND --root DIR ...".
  tastora::MoveLeadingRootOption(args);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(stdout);
    return args.empty() ? tastora::kExitUsage : 0;
  }
  if (args[0] == "--version") {
    std::printf("tastora %s\n", TASTORA_VERSION);
    return 0;
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
