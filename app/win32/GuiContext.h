#pragma once
// What the windows of the program share: the main actions, the message
// boxes, the session and the process state.

#include "app/MainActions.h"
#include "model/ProcessState.h"
#include "platform/Session.h"

namespace tastora::gui {

class GuiDialogs;

struct GuiContext {
  MainActions& actions;
  GuiDialogs& dialogs;
  Session& session;
  ProcessState& state;
  bool hasArguments = false;  // started with arguments (not a command line)
};

// Opens the help pages, "DOC\index.html" of the program folder (or of the
// folder above it); says so when they are missing.
void OpenHelp(GuiContext& context);

}  // namespace tastora::gui
