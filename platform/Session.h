#pragma once
// The Windows session the program runs in: its version, the user's rights,
// logging off, the shell, and the machine's registry and profile files. On
// Windows that is the running system; offline it is a Windows root folder.

#include <memory>
#include <optional>
#include <string>

#include "model/ProcessState.h"
#include "platform/ActionLock.h"
#include "platform/FileWriter.h"
#include "platform/LibraryLoader.h"
#include "platform/Platform.h"
#include "platform/Profile.h"
#include "platform/RegistryBackend.h"
#include "platform/SystemFiles.h"

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

struct SystemPorts {
  std::unique_ptr<RegistryBackend> registry;
  std::unique_ptr<Profile> profile;
  std::unique_ptr<Session> session;
  // The system's files. All four share one redirection switch: while
  // systemFiles has it off, files, writer and loader see the native system
  // folder too. Offline they take Windows paths inside the root.
  std::unique_ptr<SystemFiles> systemFiles;
  std::unique_ptr<FileSystem> files;
  std::unique_ptr<FileWriter> writer;
  std::unique_ptr<LibraryLoader> loader;
  // One action at a time on this system.
  std::unique_ptr<ActionLock> lock;
};

// True where the program works on a Windows root folder (every host but
// Windows); false where it works on the running Windows.
bool PlatformUsesRootFolder();

// The system to work on: offline the Windows root folder `rootDir`, whose
// registry files are read here (a malformed one is refused, `error` says
// which file and line); on Windows the running system, with `rootDir` empty.
std::optional<SystemPorts> OpenSystem(const std::string& rootDir, CodePages& codePages, Dialogs& dialogs,
                                      std::string& error);

// The Windows versions a new root can be made for.
enum class RootWindows { Windows10, WindowsXp, Windows98, Windows95 };

// Makes an empty Windows root folder: the folder tree, empty registry files,
// the version. Offline only; false with `error` when it cannot be made or
// `rootDir` already holds registry files.
bool CreateWindowsRoot(const std::string& rootDir, RootWindows windows, std::string& error);

}  // namespace tastora
