#pragma once
// The program started on a Windows root made for a test: the main actions,
// as the window and the command line have them.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MainActions.h"
#include "app/cli/Program.h"
#include "model/ProcessState.h"
#include "platform/PlatformFactory.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/OfflineSession.h"
#include "tests/TestPorts.h"
#include "tests/TestRoots.h"

namespace tastora::testing {

struct Program {
  explicit Program(const InitializedRoot& root) {
    std::string error;
    system = OpenSystem(root.Path(), codePages, dialogs, error);
    EXPECT_TRUE(system) << error;
    actions = std::make_unique<MainActions>(*system, codePages, dialogs, *state);
    actions->Start();
  }
  OfflineSession& session() { return static_cast<OfflineSession&>(*system->session); }

  IconvCodePages codePages;
  RecordingDialogs dialogs;
  std::optional<SystemPorts> system;
  std::unique_ptr<ProcessState> state = std::make_unique<ProcessState>();
  std::unique_ptr<MainActions> actions;
};

// The catalogue position of the entry whose identifier is `id`.
inline std::optional<int> PositionOf(const MainActions& actions, const std::string& id) {
  for (int i = 0; i < actions.Catalogue().Count(); ++i)
    if (actions.Catalogue().Get(i).Id == id) return i;
  return std::nullopt;
}

// What a run in the test's process wrote, each stream apart.
struct CapturedRun {
  int status = -1;
  std::string out;
  std::string err;
};

template <class Run>
CapturedRun Captured(Run run) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int status = run();
  std::string out = ::testing::internal::GetCapturedStdout();
  return {status, std::move(out), ::testing::internal::GetCapturedStderr()};
}

// A command line run in the test's process: its exit status, and what it
// wrote to standard output and error together.
inline std::string RunCapturing(const std::vector<std::string>& args, int& status,
                                int (*run)(const std::vector<std::string>&) = RunProgram) {
  const CapturedRun ran = Captured([&] { return run(args); });
  status = ran.status;
  return ran.out + ran.err;
}

}  // namespace tastora::testing
