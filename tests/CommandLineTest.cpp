// The command line as a user meets it: where options may stand, what "--"
// does, which stream the help and the errors go to with which status, what a
// Windows console takes, and the documents made from the same table.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/ExitStatus.h"
#include "app/cli/Commands.h"
#include "app/cli/ManPage.h"
#include "app/cli/Program.h"
#include "app/cli/StatusLine.h"
#include "tests/TestFiles.h"
#include "tests/TestProgram.h"
#include "tests/TestRoots.h"

namespace tastora::testing {
namespace {

constexpr Conventions kHost{true, false};
constexpr Conventions kWindows{false, true};

std::string Line(const std::vector<std::string>& args) {
  std::string out;
  for (const std::string& arg : args) out += arg + " ";
  return out;
}

TEST(CommandLine, HelpAndVersionToTheOutputErrorsToTheErrorStream) {
  TempDir dir{"tastora-cli"};
  const std::string us = dir / "us.vyr2000";
  struct Case {
    std::vector<std::string> args;
    Conventions conventions;
    int status;
    bool onOutput;  // else on the error stream, the output empty
    std::string text;
    std::string absent = "\x01";
  };
  const Case cases[] = {
      {{"--help"}, kHost, kExitOk, true, "\n  restore "},
      {{"-h"}, kHost, kExitOk, true, "usage: tastora COMMAND"},
      {{"install", "--help"}, kHost, kExitOk, true, "usage: tastora install [OPTIONS] POS FILE\n"},
      {{"--help", "install"}, kHost, kExitOk, true, "usage: tastora install"},
      {{"install", "x", "--bogus", "-h"}, kHost, kExitOk, true, "--wait SECONDS"},  // help wins over errors
      {{"create", "--help"}, kHost, kExitOk, true, "  3  a question was answered No\n"},
      {{"keys", "--help"}, kHost, kExitOk, true, "  2  wrong usage\n", "answered No"},
      {{"help", "export"}, kHost, kExitOk, true, "usage: tastora export [OPTIONS] [FILE]\n"},
      {{"--version"}, kHost, kExitOk, true, "tastora " TASTORA_VERSION "\n"},
      {{"keys", "--version"}, kHost, kExitOk, true, "tastora "},
      {{}, kHost, kExitUsage, false, "tastora: no command given\nusage: tastora COMMAND"},
      {{"frobnicate"}, kHost, kExitUsage, false, "tastora: unknown command 'frobnicate'"},
      {{"help", "frobnicate"}, kHost, kExitUsage, false, "tastora help: unknown command 'frobnicate'"},
      {{"keys", "--bogus"}, kHost, kExitUsage, false,
       "tastora keys: unknown option '--bogus'\nusage: tastora keys\nTry 'tastora keys --help' for more.\n"},
      {{"keys", "extra"}, kHost, kExitUsage, false, "tastora keys: unexpected argument 'extra'"},
      {{"install", "0"}, kHost, kExitUsage, false, "tastora install: missing FILE"},
      {{"create", "0", "x.klc", "0407"}, kHost, kExitUsage, false, "LANG and NAME go together"},
      {{"export", "--us", "-o"}, kHost, kExitUsage, false, "--output needs a value (OUT)"},
      {{"export", "--us", "--output="}, kHost, kExitUsage, false, "--output needs a value (OUT)"},
      {{"export", "--us=yes"}, kHost, kExitUsage, false, "--us takes no value"},
      {{"export", "--us", "-o", us, "--output", us}, kHost, kExitUsage, false, "--output is given twice"},
      {{"export", "-ux"}, kHost, kExitUsage, false, "unknown option '-ux'"},
      {{"export"}, kHost, kExitUsage, false, "give a FILE or --us"},
      {{"init", "--windows", "7"}, kHost, kExitUsage, false, "'7' is not a value of --windows (11, 11-arm64, 10, 8.1, xp"},
      {{"install", "0", "f", "--wait", "soon"}, kHost, kExitUsage, false, "'soon' is not a number of seconds"},
      {{"build", "in.vyr2000"}, kHost, kExitUsage, false, "missing -o OUT32.dll"},
      // "--" ends the options: "--us" is then a file's name.
      {{"export", "--", "--us"}, kHost, kExitFailure, false, "--us"},
      // A Windows console: "/?" is the help, and the options for a root folder are left out.
      {{"/?"}, kWindows, kExitOk, true, "-h, --help, /?", "\n  init "},
      {{"list", "/?"}, kWindows, kExitOk, true, "--tsv", "--root"},
      {{"list", "--help"}, kHost, kExitOk, true, "--root DIR", "/?"},
      {{"/?"}, kHost, kExitUsage, false, "unknown command '/?'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Line(c.args));
    const CapturedRun run = Captured([&] { return RunProgram(c.args, c.conventions); });
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    const std::string& said = c.onOutput ? run.out : run.err;
    EXPECT_NE(said.find(c.text), std::string::npos) << said;
    EXPECT_EQ(said.find(c.absent), std::string::npos) << said;
    EXPECT_EQ(c.onOutput ? run.err : run.out, "");
  }
}

TEST(CommandLine, OptionsStandAnywhereAndDashesEndThem) {
  const InitializedRoot root(RootWindows::Windows10);
  const std::string dir = root.Path();
  const CapturedRun listed = Captured([&] { return RunProgram({"list", "--tsv", "--root", dir}, kHost); });
  ASSERT_EQ(listed.status, kExitOk) << listed.err;
  EXPECT_EQ(listed.err.find('\r'), std::string::npos) << "no status line where the error stream is no terminal";
  const std::vector<std::string> sameList[] = {
      {"--root", dir, "list", "--tsv"},
      {"--tsv", "--root=" + dir, "list"},
      {"list", "--root=" + dir, "--tsv"},
  };
  for (const auto& args : sameList) {
    SCOPED_TRACE(Line(args));
    const CapturedRun run = Captured([&] { return RunProgram(args, kHost); });
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, listed.out);
  }
  // A layout name that starts with '-' comes after "--"; without, it is an unknown option.
  const struct {
    std::vector<std::string> args;
    int status;
    std::string text;
  } cases[] = {
      {{"new", "2", "0407", "-Mine-", "--root", dir}, kExitUsage, "unknown option '-Mine-'"},
      {{"--root", dir, "new", "2", "0407", "--", "-Mine-"}, kExitOk, "Created layout 00010407 (-Mine-)"},
      {{"new", "--root", dir, "--", "2", "0407", "--root"}, kExitOk, "Created layout 00020407 (--root)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Line(c.args));
    int status = 0;
    const std::string said = RunCapturing(c.args, status);
    EXPECT_EQ(status, c.status) << said;
    EXPECT_NE(said.find(c.text), std::string::npos) << said;
  }
}

TEST(StatusLine, RewritesOneLineOnATerminalOnly) {
  for (const bool terminal : {true, false}) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    {
      StatusLine status(stream, terminal);
      status.Show("reading the registry");
      for (int done = 1; done <= 400; ++done) status.Progress("reading layouts", done, 400);
      status.Show("done");
    }
    std::string written(4096, '\0');
    std::rewind(stream);
    written.resize(std::fread(written.data(), 1, written.size(), stream));
    std::fclose(stream);
    if (!terminal) {
      EXPECT_EQ(written, "");
      continue;
    }
    // Once per percent, never a line break, and wiped at the end.
    EXPECT_NE(written.find("\rreading layouts 4/400"), std::string::npos);
    EXPECT_EQ(written.find("reading layouts 5/400"), std::string::npos);
    const std::string last = "reading layouts 400/400";
    EXPECT_NE(written.find("\r" + last + "\rdone" + std::string(last.size() - 4, ' ') + "\rdone"), std::string::npos);
    EXPECT_EQ(written.find('\n'), std::string::npos);
    EXPECT_EQ(written.substr(written.size() - 6), "\r    \r");
  }
}

TEST(CommandDocuments, EveryCommandAndOptionIsInTheManPageAndTheCompletions) {
  const std::string man = ManPage("1.2.3");
  const std::string bash = BashCompletion();
  const std::string zsh = ZshCompletion();
  EXPECT_EQ(man.rfind(".TH TASTORA 1 \"\" \"tastora 1.2.3\"", 0), 0u);
  for (const CommandDefinition& command : CliCommands()) {
    SCOPED_TRACE(command.name);
    EXPECT_NE(man.find(std::string(".SS \"tastora ") + command.name), std::string::npos);
    EXPECT_NE(bash.find(std::string("    ") + command.name + ") opts="), std::string::npos);
    EXPECT_NE(zsh.find(std::string("    '") + command.name + ":"), std::string::npos);
    for (const CommandOption& option : command.Options()) {
      std::string roffName = "\\-\\-";
      for (const char* c = option.longName; *c; ++c) roffName += *c == '-' ? std::string("\\-") : std::string(1, *c);
      EXPECT_NE(man.find(roffName), std::string::npos) << option.longName;
      EXPECT_NE(bash.find(std::string("--") + option.longName), std::string::npos) << option.longName;
      EXPECT_NE(zsh.find(std::string("'--") + option.longName), std::string::npos) << option.longName;
    }
  }
  // The shells read them.
  TempDir dir{"tastora-docs"};
  WriteHost(dir.path / "tastora.bash", bash);
  EXPECT_EQ(RunShell("bash -n " + Quote(dir / "tastora.bash")).status, 0);
  const ShellRun completed = RunShell("bash -c " + Quote(". " + Quote(dir / "tastora.bash") +
                                                         "; COMP_WORDS=(tastora --root /tmp in); COMP_CWORD=3; "
                                                         "_tastora; echo \"${COMPREPLY[*]}\""));
  EXPECT_EQ(completed.out, "init install\n") << completed.err;
}

}  // namespace
}  // namespace tastora::testing
