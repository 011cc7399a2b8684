#pragma once
// The processor of a root's Windows, from where Windows (and Wine) keep it:
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment,
// PROCESSOR_ARCHITECTURE ("x86", "AMD64", "ARM64"). A root without the value,
// or with one of another processor, is x64 when it has a 32-bit view of its
// system folder and x86 otherwise.

#include "platform/RegistryBackend.h"
#include "platform/SystemFiles.h"
#include "platform/offline/OfflineRoot.h"

namespace tastora {

Processor RootMachine(RegistryBackend& registry, const OfflineRoot& root);

}  // namespace tastora
