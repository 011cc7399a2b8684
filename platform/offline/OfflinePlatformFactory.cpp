#include "platform/PlatformFactory.h"
#include "platform/offline/HostFileSystem.h"
#include "platform/offline/IconvCodePages.h"

namespace tastora {

std::unique_ptr<CodePages> MakeCodePages() { return std::make_unique<IconvCodePages>(); }
std::unique_ptr<FileSystem> MakeFileSystem() { return std::make_unique<HostFileSystem>(); }

}  // namespace tastora
