#pragma once
// The ports of the platform this program was built for.

#include <memory>

#include "platform/FileWriter.h"
#include "platform/LibraryLoader.h"
#include "platform/Platform.h"

namespace tastora {

std::unique_ptr<CodePages> MakeCodePages();
// Files by the platform's own paths (offline: host paths).
std::unique_ptr<FileSystem> MakeFileSystem();
// Layout libraries: the system loader, or offline our own PE image loader.
std::unique_ptr<LibraryLoader> MakeLibraryLoader();
// Whole-file writes by the platform's own paths (offline: host paths).
std::unique_ptr<FileWriter> MakeFileWriter();

}  // namespace tastora
