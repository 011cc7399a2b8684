#include "platform/PlatformFactory.h"
#include "platform/offline/IconvCodePages.h"

namespace tastora {

std::unique_ptr<CodePages> MakeCodePages() { return std::make_unique<IconvCodePages>(); }

}  // namespace tastora
