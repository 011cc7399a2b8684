// TastoraGUI: the windowed program. Without arguments (or with a number
// other than two or four) it shows the main window; with two or four it
// runs the command line unattended and ends with its status: 0 installed,
// 1 failed, 2 wrong arguments, 3 cancelled.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/MainActions.h"
#include "app/win32/ControlIds.h"
#include "app/win32/Dpi.h"
#include "app/win32/GuiContext.h"
#include "app/win32/GuiDialogs.h"
#include "app/win32/MainWindow.h"
#include "app/win32/ModalLoop.h"
#include "app/ExitStatus.h"
#include "model/ProcessState.h"
#include "platform/PlatformFactory.h"
#include "platform/win32/WideText.h"

namespace tastora::gui {
namespace {

constexpr char kNotAdministrator[] =
    "You MUST start this program as administrator (Right click->Run as Administrator).";

void InitControls() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&controls);
}

// A running window comes to the front instead of a second program.
bool ActivateRunningInstance() {
  HWND window = FindWindowW(kMainWindowClass, nullptr);
  if (!window) return false;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
  ShowWindow(window, SW_SHOW);
  return true;
}

// Everything the windows work on: the system's ports and the main actions.
struct Program {
  std::unique_ptr<CodePages> codePages = MakeCodePages();
  GuiDialogs dialogs{*codePages};
  std::optional<SystemPorts> system;
  ProcessState state;
  std::unique_ptr<MainActions> actions;

  bool Open() {
    std::string error;
    system = OpenSystem("", *codePages, dialogs, error);
    if (!system) {
      dialogs.ShowError(error, "Error");
      return false;
    }
    actions = std::make_unique<MainActions>(*system, *codePages, dialogs, state);
    return true;
  }
};

// Runs one install, or a create and install, without the main window. No
// single-instance check: the system's action lock orders it after whatever
// a window of the program is doing.
int RunCommandLineMode(const std::vector<std::string>& args) {
  Program program;
  CommandLine commandLine;
  std::string error;
  if (!ParseCommandLine(args, commandLine, error)) {
    program.dialogs.ShowError(error, "Error");
    return kExitUsage;
  }
  if (!program.Open()) return kExitFailure;
  program.state.unattended = true;
  MainActions& actions = *program.actions;
  actions.CommandLineMode = true;
  const MainActions::ActionGuard guard = actions.Exclusive();
  if (!guard.Held()) return kExitFailure;
  actions.Start();
  program.dialogs.SetLayoutFont(&actions.settings().font);
  return ExitStatus(actions.RunCommandLine(commandLine));
}

int RunInteractive(bool hasArguments, int showCommand) {
  if (ActivateRunningInstance()) return kExitOk;
  Program program;
  if (!program.Open()) return kExitFailure;
  MainActions& actions = *program.actions;
  {
    // The catalogue is read as no other program is changing it.
    const MainActions::ActionGuard guard = actions.Exclusive();
    actions.Start();
  }
  program.dialogs.SetLayoutFont(&actions.settings().font);
  GuiContext context{actions, program.dialogs, *program.system->session, program.state, hasArguments};
  TFGlavni mainWindow(context);
  if (!mainWindow.Create()) return kExitFailure;
  program.dialogs.SetOwner(mainWindow.Handle());
  if (!program.system->session->IsAdministrator()) program.dialogs.ShowMessage(kNotAdministrator);
  mainWindow.FirstShow(showCommand);
  return RunMessageLoop();
}

}  // namespace
}  // namespace tastora::gui

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  using namespace tastora::gui;
  EnableDpiAwareness();
  InitControls();
  const std::vector<std::string> args = tastora::ProgramArguments(0, nullptr);
  if (args.size() == 2 || args.size() == 4) return RunCommandLineMode(args);
  return RunInteractive(!args.empty(), showCommand);
}
