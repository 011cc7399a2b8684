#pragma once
// The library loader of hosts without the Windows loader: a small PE image
// loader of our own. It maps PE32 and PE32+ images (x86, x64, ARM64) at an
// address below 4 GB, applies their base relocations, finds exports by name
// and evaluates the descriptor function in the few code forms layout
// libraries use. It never runs code from an image; anything it does not
// understand is a failure, not a guess.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/LibraryLoader.h"
#include "platform/Platform.h"

namespace tastora {

class PeImageLoader final : public LibraryLoader {
 public:
  // Libraries are read by host path.
  PeImageLoader();
  explicit PeImageLoader(FileSystem& files);
  ~PeImageLoader() override;

  // Loads an image held in memory, as Load does with a file.
  std::optional<LibraryHandle> LoadFromBytes(std::span<const uint8_t> file);

  std::optional<LibraryHandle> Load(const std::string& path) override;
  std::optional<uint64_t> FindExport(LibraryHandle library, const std::string& name) override;
  std::optional<uint64_t> CallDescriptor(LibraryHandle library, uint64_t address) override;
  bool ReadMemory(LibraryHandle library, uint64_t address, std::span<uint8_t> out) override;
  void Unload(LibraryHandle library) override;

  struct MappedImage {
    uint16_t machine = 0;
    uint64_t base = 0;             // where the image is mapped
    std::vector<uint8_t> memory;   // SizeOfImage bytes, sections in place
    uint32_t exportRva = 0;
    uint32_t exportSize = 0;
  };

 private:
  const MappedImage* Find(LibraryHandle library) const;

  std::unique_ptr<FileSystem> ownFiles_;
  FileSystem& files_;
  std::map<LibraryHandle, MappedImage> images_;
  LibraryHandle next_ = 1;
};

}  // namespace tastora
