#include "platform/PlatformFactory.h"
#include "platform/win32/Win32FileWriter.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32CodePages.h"
#include "platform/win32/Win32LibraryLoader.h"

namespace tastora {

std::unique_ptr<CodePages> MakeCodePages() { return std::make_unique<Win32CodePages>(); }
std::unique_ptr<FileSystem> MakeFileSystem() { return std::make_unique<Win32FileSystem>(); }
std::unique_ptr<LibraryLoader> MakeLibraryLoader() { return std::make_unique<Win32LibraryLoader>(); }
std::unique_ptr<FileWriter> MakeFileWriter() { return std::make_unique<Win32FileWriter>(); }

}  // namespace tastora
