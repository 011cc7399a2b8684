// tastora: the command-line front end. Every command returns the process
// exit status: 0 only when the action really happened.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/cli/Program.h"
#include "app/cli/TerminalDialogs.h"
#include "platform/PlatformFactory.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
#ifdef SIGPIPE
  // A reader of the output that went away must not end an install half-way:
  // the write fails instead, and is reported.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  return FinishOutput(tastora::RunProgram(tastora::ProgramArguments(argc, argv)));
}
