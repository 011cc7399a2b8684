#pragma once
// The library loader of a Windows root: our PE image loader reading through
// a handle on the root's files, so that it follows the redirection switch
// like every other file operation of the session.

#include <memory>

#include "platform/LibraryLoader.h"
#include "platform/offline/OfflineSystemFiles.h"
#include "platform/offline/PeImageLoader.h"

namespace tastora {

class OfflineFileLoader final : public LibraryLoader {
 public:
  explicit OfflineFileLoader(std::unique_ptr<OfflineSystemFiles> files)
      : files_(std::move(files)), loader_(*files_) {}

  std::optional<LibraryHandle> Load(const std::string& path) override { return loader_.Load(path); }
  std::optional<uint64_t> FindExport(LibraryHandle library, const std::string& name) override {
    return loader_.FindExport(library, name);
  }
  std::optional<uint64_t> CallDescriptor(LibraryHandle library, uint64_t address) override {
    return loader_.CallDescriptor(library, address);
  }
  bool ReadMemory(LibraryHandle library, uint64_t address, std::span<uint8_t> out) override {
    return loader_.ReadMemory(library, address, out);
  }
  void Unload(LibraryHandle library) override { loader_.Unload(library); }

 private:
  std::unique_ptr<OfflineSystemFiles> files_;  // before loader_: it must outlive it
  PeImageLoader loader_;
};

}  // namespace tastora
