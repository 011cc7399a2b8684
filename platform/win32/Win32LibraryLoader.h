#pragma once
// Layout libraries through the Windows loader. Memory of a loaded library is
// copied out only after the system confirms that the whole range is
// committed, readable and part of that library's image.

#include "platform/LibraryLoader.h"

namespace tastora {

class Win32LibraryLoader final : public LibraryLoader {
 public:
  std::optional<LibraryHandle> Load(const std::string& path) override;
  std::optional<uint64_t> FindExport(LibraryHandle library, const std::string& name) override;
  std::optional<uint64_t> CallDescriptor(LibraryHandle library, uint64_t address) override;
  bool ReadMemory(LibraryHandle library, uint64_t address, std::span<uint8_t> out) override;
  void Unload(LibraryHandle library) override;
};

}  // namespace tastora
