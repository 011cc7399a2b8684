// What the command-line program says, where it says it, and what its exit
// status reports: every message goes to the error stream with the file it is
// about; a refused file installs nothing; output that cannot be written is
// reported there and changes the status only where the output is the action.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/offline/HostFileSystem.h"
#include "tests/TestFiles.h"

namespace tastora::testing {
namespace {

namespace fs = std::filesystem;



std::optional<fs::path> Cli() {
  const char* given = std::getenv("TASTORA_CLI");
  const fs::path cli = given && *given ? fs::path(given)
                                       : fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tastora";
  return fs::exists(cli) ? std::optional<fs::path>(cli) : std::nullopt;
}

const std::string kGerman = std::string(TASTORA_SOURCE_DIR) + "/examples/german.vyr2000";

TEST(HostFileSystem, ReadsRegularFilesOnly) {
  TempDir dir;
  const fs::path regular = dir.path / "layout.vyr2000";
  std::ofstream(regular) << "<VYR_DAT_FILE>";
  fs::create_symlink(regular, dir.path / "link.vyr2000");
  fs::create_directory(dir.path / "folder.vyr2000");
  const struct {
    fs::path path;
    bool read;
  } cases[] = {
      {regular, true},
      {dir.path / "link.vyr2000", true},  // a link is read as the file it names
      {dir.path / "folder.vyr2000", false},
      {"/dev/null", false},
      {"/dev/zero", false},  // would never end
      {dir.path / "missing.vyr2000", false},
  };
  HostFileSystem files;
  for (const auto& c : cases) {
    for (const bool forWriting : {false, true}) {
      const auto bytes = files.ReadFile(c.path.string(), 100, forWriting);
      EXPECT_EQ(bytes.has_value(), c.read) << c.path << (forWriting ? " for writing" : "");
      if (bytes) {
        EXPECT_EQ(bytes->size(), 14u);
      }
    }
  }
}

TEST(CliStreams, MessagesGoToTheErrorStreamNamingTheirFile) {
  const auto cli = Cli();
  if (!cli) GTEST_SKIP() << "the tastora program is not built";
  TempDir dir{"tastora-streams"};
  const std::string program = Quote(cli->string());
  const std::string root = (dir.path / "root").string();
  ASSERT_EQ(RunShell(program + " init --root " + Quote(root)).status, 0);
  const std::string list = program + " list --tsv --root " + Quote(root);
  const std::string catalogue = RunShell(list).out;
  ASSERT_NE(catalogue.find("kbdus.dll"), std::string::npos) << catalogue;

  // Inputs no install or export may take: a FIFO (it must not wait for a
  // writer), a markup file cut short, a damaged older-family layout file.
  const std::string fifo = (dir.path / "pipe.vyr2000").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string cut = (dir.path / "cut.vyr2000").string();
  const std::string german = ReadHost(kGerman);
  std::ofstream(cut, std::ios::binary) << german.substr(0, german.size() * 3 / 4);
  const std::string kbd = (dir.path / "damaged.kbd").string();
  std::ofstream(kbd, std::ios::binary) << std::string("DS\1\2\3\4\5\6", 8);
  const std::string fifoDll = (dir.path / "pipe.dll").string();
  ASSERT_EQ(::mkfifo(fifoDll.c_str(), 0600), 0);

  struct Case {
    std::string args;
    std::vector<std::string> errors;  // each in the error stream
  };
  const Case cases[] = {
      {"install 0 " + Quote(fifo) + " --yes --root " + Quote(root),
       {"Could not read file\n" + fifo + "\n", "was not installed"}},
      {"install 0 " + Quote(cut) + " --yes --root " + Quote(root),
       {"The layout data file is incomplete: it ends before </VYR_DAT_FILE>.", "was not installed"}},
      {"export " + Quote(fifo), {"Could not read file\n" + fifo + "\n"}},
      {"export " + Quote(fifoDll), {"Could not read file\n" + fifoDll + "\n"}},
      {"export " + Quote(cut), {"ends before </VYR_DAT_FILE>.\n" + cut + "\n"}},
      {"export " + Quote(kbd), {"Problems with dataHdr pointer!\n" + kbd + "\n", "was not read"}},
      {"build " + Quote(cut) + " -o " + Quote((dir.path / "cut.dll").string()),
       {"ends before </VYR_DAT_FILE>.\n" + cut + "\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const ShellRun run = RunShell("timeout 20 " + program + " " + c.args);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "");
    for (const std::string& error : c.errors) EXPECT_NE(run.err.find(error), std::string::npos) << run.err;
  }
  EXPECT_FALSE(fs::exists(dir.path / "cut.dll"));
  // Nothing was installed or created.
  EXPECT_EQ(RunShell(list).out, catalogue);
}

TEST(CliStreams, OutputThatCannotBeWrittenChangesTheStatusOnlyWhereItIsTheAction) {
  const auto cli = Cli();
  if (!cli) GTEST_SKIP() << "the tastora program is not built";
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TempDir dir{"tastora-streams"};
  const std::string program = Quote(cli->string());
  const std::string root = Quote((dir.path / "root").string());
  const std::string made = Quote((dir.path / "made").string());
  ASSERT_EQ(RunShell(program + " init --root " + root).status, 0);
  const struct {
    std::string args;
    int status;
    bool prints;
  } cases[] = {
      // The action happened: the status says so, whatever became of its report.
      {"install 0 " + Quote(kGerman) + " --yes --root " + root, 0, true},
      {"init --root " + made, 0, true},
      {"export --us -o " + Quote((dir.path / "us.vyr2000").string()), 0, false},
      {"list --root " + root, 1, true},
      {"keys", 1, true},
      {"export --us", 1, true},
      {"--version", 1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const ShellRun run = RunShell(program + " " + c.args + " >/dev/full");
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.err.find("could not write to the standard output") != std::string::npos, c.prints) << run.err;
  }
  EXPECT_TRUE(fs::exists(dir.path / "made" / "system.reg"));
  EXPECT_NE(RunShell(program + " list --tsv --root " + root).out.find("l_kbdus.dll"), std::string::npos);
}

}  // namespace
}  // namespace tastora::testing
