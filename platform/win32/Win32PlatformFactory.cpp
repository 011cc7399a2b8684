#include "platform/PlatformFactory.h"
#include "platform/win32/Win32CodePages.h"

namespace tastora {

std::unique_ptr<CodePages> MakeCodePages() { return std::make_unique<Win32CodePages>(); }

}  // namespace tastora
