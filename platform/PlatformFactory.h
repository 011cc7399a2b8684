#pragma once
// The ports of the platform this program was built for, and the system they
// open: the running Windows, or a Windows root folder.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ActionLock.h"
#include "platform/FileWriter.h"
#include "platform/InputLanguageApi.h"
#include "platform/LibraryLoader.h"
#include "platform/Platform.h"
#include "platform/Profile.h"
#include "platform/RegistryBackend.h"
#include "platform/Session.h"
#include "platform/SystemFiles.h"

namespace tastora {

std::unique_ptr<CodePages> MakeCodePages();
// Files by the platform's own paths (offline: host paths).
std::unique_ptr<FileSystem> MakeFileSystem();
// Layout libraries: the system loader, or offline our own PE image loader.
std::unique_ptr<LibraryLoader> MakeLibraryLoader();
// Whole-file writes by the platform's own paths (offline: host paths).
std::unique_ptr<FileWriter> MakeFileWriter();

// The program's arguments, its own name left out, in the text the ports take:
// offline argv as given; on Windows the process's UTF-16 command line split
// as Windows programs split it, in UTF-8, so that a name outside the ANSI
// code page arrives whole.
std::vector<std::string> ProgramArguments(int argc, char** argv);

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
  // The user's language list as Windows changes it (offline: none).
  std::unique_ptr<InputLanguageApi> inputLanguages;
};

// True where the program works on a Windows root folder (every host but
// Windows); false where it works on the running Windows.
bool PlatformUsesRootFolder();

// True where a console program takes "/?" for its help, as Windows programs do.
bool PlatformTakesSlashHelp();

// True when the standard error stream is a terminal someone watches: a status
// line may be rewritten there, and nowhere else.
bool StandardErrorIsTerminal();

// The system to work on: offline the Windows root folder `rootDir`, whose
// registry files are read here (a malformed one is refused, `error` says
// which file and line); on Windows the running system, with `rootDir` empty.
std::optional<SystemPorts> OpenSystem(const std::string& rootDir, CodePages& codePages, Dialogs& dialogs,
                                      std::string& error);

// The Windows versions a new root can be made for.
enum class RootWindows { Windows10, Windows11, Windows11Arm64, Windows81, WindowsXp, Windows98, Windows95 };

inline bool IsFamily9x(RootWindows windows) {
  return windows == RootWindows::Windows98 || windows == RootWindows::Windows95;
}
// The versions a root is made for as 64-bit Windows (with a 32-bit view of
// its system folder).
inline bool Is64BitWindows(RootWindows windows) {
  return windows != RootWindows::WindowsXp && !IsFamily9x(windows);
}
// What the root's PROCESSOR_ARCHITECTURE says; none for the 8-bit family.
inline const char* ProcessorArchitectureOf(RootWindows windows) {
  if (IsFamily9x(windows)) return nullptr;
  if (windows == RootWindows::Windows11Arm64) return "ARM64";
  return Is64BitWindows(windows) ? "AMD64" : "x86";
}

// Makes an empty Windows root folder: the folder tree, empty registry files,
// the version. Offline only; false with `error` when it cannot be made or
// `rootDir` already holds registry files.
bool CreateWindowsRoot(const std::string& rootDir, RootWindows windows, std::string& error);

}  // namespace tastora
