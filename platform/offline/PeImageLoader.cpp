#include "platform/offline/PeImageLoader.h"

#include <algorithm>

#include "format/EntryCode.h"
#include "format/PeFormat.h"
#include "model/Bytes.h"
#include "platform/offline/HostFileSystem.h"

namespace tastora {
namespace {

using pe::kMachineArm64;
using pe::kMachineX64;
using pe::kMachineX86;

// Layout libraries are tens of kilobytes; the caps only keep a hostile header
// from asking for gigabytes.
constexpr size_t kMaxFileSize = 16u << 20;
constexpr uint64_t kMaxImageSize = 16u << 20;
constexpr uint32_t kMaxSections = 96;
constexpr uint32_t kMaxDirectories = pe::kDirectoryCount;
constexpr uint64_t k4GB = uint64_t{1} << 32;
// Where an image whose own base is out of 32-bit reach is mapped instead.
constexpr uint64_t kLowBase = 0x10000000;

struct Directory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

struct Headers {
  uint16_t machine = 0;
  uint64_t imageBase = 0;
  uint32_t sizeOfImage = 0;
  uint32_t sizeOfHeaders = 0;
  uint32_t sectionCount = 0;
  uint64_t sectionTable = 0;
  Directory exports;
  Directory relocations;
};

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

std::optional<Headers> ReadHeaders(const ByteReader& file) {
  Headers h;
  if (file.U16(0) != pe::kDosMagic) return std::nullopt;
  const auto lfanew = file.U32(pe::kDosNewHeader);
  if (!lfanew || file.U32(*lfanew) != pe::kSignature) return std::nullopt;
  const uint64_t coff = uint64_t{*lfanew} + pe::kSignatureSize;
  const auto machine = file.U16(coff + pe::kFileMachine);
  const auto sections = file.U16(coff + pe::kFileSectionCount);
  const auto optionalSize = file.U16(coff + pe::kFileOptionalHeaderSize);
  const uint64_t opt = coff + pe::kFileHeaderSize;
  const auto magic = file.U16(opt + pe::kOptMagic);
  if (!machine || !sections || !optionalSize || !magic) return std::nullopt;
  const bool pe32 = *magic == pe::kMagicPe32;
  if (pe32 ? *machine != kMachineX86
           : (*magic != pe::kMagicPe32Plus || (*machine != kMachineX64 && *machine != kMachineArm64)))
    return std::nullopt;
  h.machine = *machine;

  uint64_t imageBase = 0;
  if (pe32) {
    const auto base = file.U32(opt + pe::kOptImageBase32);
    if (!base) return std::nullopt;
    imageBase = *base;
  } else {
    const auto base = file.U64(opt + pe::kOptImageBase64);
    if (!base) return std::nullopt;
    imageBase = *base;
  }
  const auto sectionAlignment = file.U32(opt + pe::kOptSectionAlignment);
  const auto fileAlignment = file.U32(opt + pe::kOptFileAlignment);
  const auto sizeOfImage = file.U32(opt + pe::kOptSizeOfImage);
  const auto sizeOfHeaders = file.U32(opt + pe::kOptSizeOfHeaders);
  const uint64_t directoriesAt = pe32 ? pe::kOptDirectories32 : pe::kOptDirectories64;
  const auto directoryCount = file.U32(opt + directoriesAt - pe::kOptDirectoryCountBefore);
  if (!sectionAlignment || !fileAlignment || !sizeOfImage || !sizeOfHeaders || !directoryCount)
    return std::nullopt;
  // The Windows loader's own rules, as far as they matter for mapping.
  if (imageBase == 0 || (imageBase & 0xFFFF) != 0) return std::nullopt;
  if (!IsPowerOfTwo(*sectionAlignment) || !IsPowerOfTwo(*fileAlignment) || *fileAlignment > *sectionAlignment)
    return std::nullopt;
  if (*sizeOfImage == 0 || *sizeOfImage > kMaxImageSize || *sizeOfHeaders > *sizeOfImage) return std::nullopt;
  if (*directoryCount > kMaxDirectories ||
      directoriesAt + uint64_t{*directoryCount} * pe::kDirectoryEntrySize > *optionalSize)
    return std::nullopt;
  if (*sections == 0 || *sections > kMaxSections) return std::nullopt;
  h.imageBase = imageBase;
  h.sizeOfImage = *sizeOfImage;
  h.sizeOfHeaders = *sizeOfHeaders;
  h.sectionCount = *sections;
  h.sectionTable = opt + *optionalSize;
  if (!file.Contains(h.sectionTable, uint64_t{h.sectionCount} * pe::kSectionHeaderSize)) return std::nullopt;

  auto directory = [&](uint32_t index) -> std::optional<Directory> {
    if (index >= *directoryCount) return Directory{};
    const uint64_t entry = opt + directoriesAt + uint64_t{index} * pe::kDirectoryEntrySize;
    const auto rva = file.U32(entry + pe::kDirectoryRva);
    const auto size = file.U32(entry + pe::kDirectorySize);
    if (!rva || !size) return std::nullopt;
    if (*size == 0) return Directory{};
    if (uint64_t{*rva} + *size > h.sizeOfImage) return std::nullopt;
    return Directory{*rva, *size};
  };
  const auto exports = directory(pe::kDirectoryExport);
  const auto relocations = directory(pe::kDirectoryRelocation);
  if (!exports || !relocations) return std::nullopt;
  h.exports = *exports;
  h.relocations = *relocations;
  return h;
}

bool MapSections(const ByteReader& file, const Headers& h, ByteWriter& memory) {
  const uint64_t headerBytes = std::min<uint64_t>(h.sizeOfHeaders, file.size());
  memory.Bytes(0, *file.Slice(0, headerBytes));
  for (uint32_t i = 0; i < h.sectionCount; ++i) {
    const uint64_t at = h.sectionTable + uint64_t{i} * pe::kSectionHeaderSize;
    const auto virtualSize = file.U32(at + pe::kSectionVirtualSize);
    const auto rva = file.U32(at + pe::kSectionRva);
    const auto rawSize = file.U32(at + pe::kSectionRawSize);
    const auto rawOffset = file.U32(at + pe::kSectionRawOffset);
    if (!virtualSize || !rva || !rawSize || !rawOffset) return false;
    // Raw data is padded to the file alignment; only the virtual size counts.
    const uint64_t copied = *virtualSize != 0 ? std::min(*virtualSize, *rawSize) : *rawSize;
    const uint64_t extent = std::max<uint64_t>(*virtualSize, copied);
    if (uint64_t{*rva} + extent > h.sizeOfImage) return false;
    if (copied == 0) continue;
    const auto data = file.Slice(*rawOffset, copied);
    if (!data) return false;
    memory.Bytes(*rva, *data);
  }
  return true;
}

bool ApplyRelocations(const Headers& h, uint64_t delta, ByteWriter& memory) {
  if (h.relocations.size == 0) return false;  // cannot move an image without them
  const ByteReader image(memory.bytes());
  uint64_t block = h.relocations.rva;
  const uint64_t end = block + h.relocations.size;
  while (end - block >= pe::kRelocBlockHeaderSize) {
    const auto page = image.U32(block + pe::kRelocBlockPage);
    const auto blockSize = image.U32(block + pe::kRelocBlockSize);
    if (!page || !blockSize || *blockSize < pe::kRelocBlockHeaderSize || *blockSize > end - block ||
        *blockSize % 2 != 0)
      return false;
    for (uint64_t e = block + pe::kRelocBlockHeaderSize; e < block + *blockSize; e += 2) {
      const auto entry = image.U16(e);
      if (!entry) return false;
      const uint64_t at = uint64_t{*page} + (*entry & pe::kRelocOffsetMask);
      switch (*entry >> pe::kRelocTypeShift) {
        case pe::kRelocAbsolute:
          break;
        case pe::kRelocHighLow: {
          const auto v = image.U32(at);
          if (!v) return false;
          memory.U32(at, static_cast<uint32_t>(*v + delta));
          break;
        }
        case pe::kRelocDir64: {
          const auto v = image.U64(at);
          if (!v) return false;
          memory.U64(at, *v + delta);
          break;
        }
        default:
          return false;
      }
    }
    block += *blockSize;
  }
  return true;
}

std::optional<PeImageLoader::MappedImage> MapImage(std::span<const uint8_t> bytes) {
  const ByteReader file(bytes);
  const auto h = ReadHeaders(file);
  if (!h) return std::nullopt;
  ByteWriter memory(h->sizeOfImage);
  if (!MapSections(file, *h, memory)) return std::nullopt;
  const uint64_t base = h->imageBase <= k4GB - h->sizeOfImage ? h->imageBase : kLowBase;
  if (base != h->imageBase && !ApplyRelocations(*h, base - h->imageBase, memory)) return std::nullopt;
  PeImageLoader::MappedImage image;
  image.machine = h->machine;
  image.base = base;
  image.memory = memory.Take();
  image.exportRva = h->exports.rva;
  image.exportSize = h->exports.size;
  return image;
}

bool NameAt(const ByteReader& image, uint64_t rva, const std::string& name) {
  const auto text = image.Slice(rva, name.size() + 1);
  return text && std::equal(name.begin(), name.end(), text->begin()) && (*text)[name.size()] == 0;
}

}  // namespace

PeImageLoader::PeImageLoader() : ownFiles_(std::make_unique<HostFileSystem>()), files_(*ownFiles_) {}
PeImageLoader::PeImageLoader(FileSystem& files) : files_(files) {}
PeImageLoader::~PeImageLoader() = default;

std::optional<LibraryHandle> PeImageLoader::LoadFromBytes(std::span<const uint8_t> file) {
  auto image = MapImage(file);
  if (!image) return std::nullopt;
  const LibraryHandle handle = next_++;
  images_.emplace(handle, std::move(*image));
  return handle;
}

std::optional<LibraryHandle> PeImageLoader::Load(const std::string& path) {
  const auto bytes = files_.ReadFile(path, kMaxFileSize, false);
  if (!bytes) return std::nullopt;
  return LoadFromBytes(*bytes);
}

const PeImageLoader::MappedImage* PeImageLoader::Find(LibraryHandle library) const {
  const auto found = images_.find(library);
  return found == images_.end() ? nullptr : &found->second;
}

std::optional<uint64_t> PeImageLoader::FindExport(LibraryHandle library, const std::string& name) {
  const MappedImage* image = Find(library);
  if (!image || image->exportSize < pe::kExportDirectorySize) return std::nullopt;
  const ByteReader m(image->memory);
  const uint64_t dir = image->exportRva;
  const auto functionCount = m.U32(dir + pe::kExportFunctionCount);
  const auto nameCount = m.U32(dir + pe::kExportNameCount);
  const auto functions = m.U32(dir + pe::kExportFunctions);
  const auto names = m.U32(dir + pe::kExportNames);
  const auto ordinals = m.U32(dir + pe::kExportOrdinals);
  if (!functionCount || !nameCount || !functions || !names || !ordinals) return std::nullopt;
  // The address, name and ordinal tables are part of the export data the
  // directory's size covers: counts that reach past it are not believed,
  // whatever else of the image they would walk.
  const auto inDirectory = [&](uint64_t rva, uint64_t count, uint64_t width) {
    return rva >= dir && rva - dir <= image->exportSize && count <= (image->exportSize - (rva - dir)) / width;
  };
  if (!inDirectory(*functions, *functionCount, 4) || !inDirectory(*names, *nameCount, 4) ||
      !inDirectory(*ordinals, *nameCount, 2))
    return std::nullopt;
  for (uint64_t i = 0; i < *nameCount; ++i) {
    const auto nameRva = m.U32(*names + i * 4);
    if (!nameRva) return std::nullopt;  // the name table runs out of the image
    if (!NameAt(m, *nameRva, name)) continue;
    const auto ordinal = m.U16(*ordinals + i * 2);
    if (!ordinal || *ordinal >= *functionCount) return std::nullopt;
    const auto rva = m.U32(*functions + uint64_t{*ordinal} * 4);
    // A forwarder names another library's export; there is no code here.
    if (!rva || *rva == 0 || *rva >= m.size() || (*rva >= dir && *rva - dir < image->exportSize))
      return std::nullopt;
    return image->base + *rva;
  }
  return std::nullopt;
}

std::optional<uint64_t> PeImageLoader::CallDescriptor(LibraryHandle library, uint64_t address) {
  const MappedImage* image = Find(library);
  if (!image || address < image->base) return std::nullopt;
  return entry::ReturnedAddress(ByteReader(image->memory), address - image->base, address, image->machine);
}

bool PeImageLoader::ReadMemory(LibraryHandle library, uint64_t address, std::span<uint8_t> out) {
  const MappedImage* image = Find(library);
  if (!image || address < image->base) return false;
  const auto bytes = ByteReader(image->memory).Slice(address - image->base, out.size());
  if (!bytes) return false;
  std::copy(bytes->begin(), bytes->end(), out.begin());
  return true;
}

void PeImageLoader::Unload(LibraryHandle library) { images_.erase(library); }

}  // namespace tastora
