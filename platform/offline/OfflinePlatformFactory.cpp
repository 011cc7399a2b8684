#include "platform/PlatformFactory.h"
#include "platform/offline/HostFileWriter.h"
#include "platform/offline/HostFileSystem.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/PeImageLoader.h"

#include <unistd.h>

namespace tastora {

std::unique_ptr<CodePages> MakeCodePages() { return std::make_unique<IconvCodePages>(); }
std::unique_ptr<FileSystem> MakeFileSystem() { return std::make_unique<HostFileSystem>(); }
std::unique_ptr<LibraryLoader> MakeLibraryLoader() { return std::make_unique<PeImageLoader>(); }
std::unique_ptr<FileWriter> MakeFileWriter() { return std::make_unique<HostFileWriter>(); }

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  if (argc <= 1 || !argv) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool PlatformTakesSlashHelp() { return false; }  // "/?" is a path here

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace tastora
