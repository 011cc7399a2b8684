#include "reader/LayoutMemory.h"

#include <algorithm>

namespace tastora {

Location ReferenceResolver::Resolve(uint32_t reference, uint64_t anchor) const {
  if (reference == 0) return {};
  if (majorVersion < 6) return {Space::Library, reference};
  if ((uint64_t{reference} >> 16) == (anchor >> 16)) return {Space::Library, reference};
  if (inLoadedImage && inLoadedImage(reference)) return {Space::Library, reference};
  return FileOffsetOf(reference);
}

Location ReferenceResolver::FileOffsetOf(uint32_t reference) const {
  // Wraps below zero on purpose: such a position fails to read.
  return {Space::FileImage, uint64_t{reference & 0xFFFFu} - uint64_t{256} * sectionDelta};
}

LayoutMemory::LayoutMemory(std::span<const uint8_t> fileImage, LibraryLoader* loader, LibraryHandle library)
    : file_(fileImage), loader_(loader), library_(library) {}

const std::vector<uint8_t>* LayoutMemory::CachedPage(uint64_t pageAddress) {
  Page& page = pages_[(pageAddress / kPageSize) % kPages];
  if (!page.tried || page.address != pageAddress) {
    page.bytes.resize(kPageSize);
    page.valid = loader_->ReadMemory(library_, pageAddress, page.bytes);
    page.address = pageAddress;
    page.tried = true;
  }
  return page.valid ? &page.bytes : nullptr;
}

bool LayoutMemory::ReadLibrary(uint64_t address, std::span<uint8_t> out) {
  if (!loader_) return false;
  if (address + out.size() < address) return false;
  size_t done = 0;
  while (done < out.size()) {
    const uint64_t at = address + done;
    const std::vector<uint8_t>* page = CachedPage(at - at % kPageSize);
    // A page only partly readable (the end of an image) is asked for exactly.
    if (!page) return loader_->ReadMemory(library_, address, out);
    const size_t inPage = static_cast<size_t>(at % kPageSize);
    const size_t n = std::min(out.size() - done, static_cast<size_t>(kPageSize) - inPage);
    std::copy_n(page->begin() + static_cast<std::ptrdiff_t>(inPage), n, out.begin() + static_cast<std::ptrdiff_t>(done));
    done += n;
  }
  return true;
}

bool LayoutMemory::Read(Location at, std::span<uint8_t> out) {
  switch (at.space) {
    case Space::Library:
      return ReadLibrary(at.address, out);
    case Space::FileImage: {
      const auto bytes = file_.Slice(at.address, out.size());
      if (!bytes) return false;
      std::copy(bytes->begin(), bytes->end(), out.begin());
      return true;
    }
    case Space::Null:
      break;
  }
  return false;
}

}  // namespace tastora
