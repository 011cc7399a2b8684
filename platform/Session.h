#pragma once
// The Windows session the program runs in: its version, the user's rights,
// logging off and the shell. On Windows that is the running system; offline
// it is a Windows root folder.

#include <string>

#include "model/ProcessState.h"

namespace tastora {

enum class ExitMode {
  LogOff,   // EWX_LOGOFF | EWX_FORCE
  Restart,  // EWX_REBOOT | EWX_FORCE
};

class Session {
 public:
  virtual ~Session() = default;
  // The version record as GetVersionExA reports it.
  virtual WindowsVersion Version() = 0;
  // Member of the built-in Administrators group.
  virtual bool IsAdministrator() = 0;
  virtual bool EndSession(ExitMode mode) = 0;
  // Opens a document with the shell's "open" verb.
  virtual bool OpenDocument(const std::string& path) = 0;
  // Brings the top-level window of the class to the front; false when there
  // is none.
  virtual bool ActivateWindowOfClass(const std::string& windowClass) = 0;
};

}  // namespace tastora
