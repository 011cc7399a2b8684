#include "platform/win32/Win32LibraryLoader.h"

#include <windows.h>

#include <cstring>
#include <limits>

#include "platform/win32/WideText.h"

namespace tastora {
namespace {

HMODULE ModuleOf(LibraryHandle library) { return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(library)); }

bool Readable(DWORD protect) {
  if (protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
  switch (protect & 0xFF) {
    case PAGE_READONLY:
    case PAGE_READWRITE:
    case PAGE_WRITECOPY:
    case PAGE_EXECUTE_READ:
    case PAGE_EXECUTE_READWRITE:
    case PAGE_EXECUTE_WRITECOPY:
      return true;
    default:
      return false;
  }
}

bool FitsAddressSpace(uint64_t address) { return address <= std::numeric_limits<uintptr_t>::max(); }

}  // namespace

std::optional<LibraryHandle> Win32LibraryLoader::Load(const std::string& path) {
  HMODULE module = LoadLibraryW(Widen(path).c_str());
  if (!module) return std::nullopt;
  return reinterpret_cast<uintptr_t>(module);
}

std::optional<uint64_t> Win32LibraryLoader::FindExport(LibraryHandle library, const std::string& name) {
  FARPROC proc = GetProcAddress(ModuleOf(library), name.c_str());
  if (!proc) return std::nullopt;
  return reinterpret_cast<uintptr_t>(proc);
}

std::optional<uint64_t> Win32LibraryLoader::CallDescriptor(LibraryHandle, uint64_t address) {
  if (address == 0 || !FitsAddressSpace(address)) return std::nullopt;
  // The descriptor takes nothing and returns the address of its tables; with
  // no arguments the calling conventions of both widths agree.
  using Descriptor = void* (*)();
  auto descriptor = reinterpret_cast<Descriptor>(static_cast<uintptr_t>(address));
  return reinterpret_cast<uintptr_t>(descriptor());
}

bool Win32LibraryLoader::ReadMemory(LibraryHandle library, uint64_t address, std::span<uint8_t> out) {
  if (out.empty()) return true;
  const uint64_t last64 = address + (out.size() - 1);
  if (last64 < address || !FitsAddressSpace(last64)) return false;
  const uintptr_t last = static_cast<uintptr_t>(last64);
  uintptr_t at = static_cast<uintptr_t>(address);
  for (;;) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<LPCVOID>(at), &info, sizeof info) == 0) return false;
    if (info.State != MEM_COMMIT || info.AllocationBase != ModuleOf(library) || !Readable(info.Protect))
      return false;
    const uintptr_t regionLast = reinterpret_cast<uintptr_t>(info.BaseAddress) + (info.RegionSize - 1);
    if (regionLast >= last) break;
    at = regionLast + 1;
  }
  std::memcpy(out.data(), reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), out.size());
  return true;
}

void Win32LibraryLoader::Unload(LibraryHandle library) { FreeLibrary(ModuleOf(library)); }

}  // namespace tastora
