#pragma once
// A layout library image, laid out before it is written: the data section
// (tables, entry code, export directory), an empty resource section and the
// base relocations, each placed by an ImagePlan that states every RVA,
// offset and size. The x86, x64 and ARM64 images differ only in what their
// ImageFormat says.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "model/Bytes.h"
#include "writer/DataSection.h"
#include "writer/ImageKind.h"

namespace tastora {

inline constexpr uint32_t kFileAlignment = 0x200;
inline constexpr uint32_t kSectionAlignment = 0x1000;
inline constexpr uint32_t kHeaderTemplateSize = 0x200;
inline constexpr uint32_t kExportDirectorySize = 82;
inline constexpr uint32_t kResourceDirectorySize = 16;
inline constexpr uint32_t kResourceRawSize = 0x400;
// The resource section's raw data is one file-alignment unit of its own;
// the relocations follow it.
inline constexpr uint32_t kResourceBlockSize = 0x200;
inline constexpr uint32_t kMinSizeOfImage = 0x4000;

struct ImageFormat {
  ImageKind kind;
  uint32_t imageBase;
  uint16_t machine;
  uint16_t optionalHeaderSize;
  uint16_t characteristics;
  uint16_t dllCharacteristics;
  uint16_t magic;
  uint8_t linkerMajor;
  uint8_t linkerMinor;
  uint16_t systemVersion[2];  // major, minor; image and subsystem versions are the same
  uint64_t stackReserve, stackCommit, heapReserve, heapCommit;
  uint16_t relocationType;  // IMAGE_REL_BASED_HIGHLOW or IMAGE_REL_BASED_DIR64
  // Added to the data section's flags (readable, executable, initialised data).
  uint32_t dataSectionExtra;
  // Appends KbdLayerDescriptor, which returns the address of KBDTABLES; its RVA.
  uint32_t (*appendEntryCode)(DataSection& section, uint32_t tablesRva);

  bool pe32Plus() const { return IsPe32Plus(kind); }
};

const ImageFormat& ImageFormat32();
const ImageFormat& ImageFormatNative32();
const ImageFormat& ImageFormat64();
const ImageFormat& ImageFormatArm64();

struct ImagePlan {
  uint32_t entryRva = 0;
  uint32_t exportRva = 0;
  uint32_t dataVirtualSize = 0;
  uint32_t dataRawSize = 0;
  uint32_t resourceOffset = 0;  // where the data section ends in the file, and .rsrc starts
  uint32_t resourceRva = 0;     // where .rsrc is mapped: resourceOffset rounded up to a section boundary
  uint32_t relocOffset = 0;
  uint32_t relocRva = 0;
  uint32_t relocSize = 0;       // the relocation blocks, as the directory gives it
  uint32_t relocVirtualSize = 0;
  uint32_t relocRawSize = 0;
  uint32_t fileSize = 0;
  uint32_t sizeOfImage = 0;
};

// The data section ends at `dataEnd` (an RVA) with the export directory.
ImagePlan PlanImage(uint32_t dataEnd, uint32_t entryRva, uint32_t exportRva, uint32_t relocSize);

// One block per 4 KB page that holds reference fields, pages in ascending
// order, entries in the order the references were written; a block with an
// odd number of entries is padded with an absolute entry so that the next
// block starts at a multiple of 4.
std::vector<uint8_t> BuildRelocationBlocks(std::span<const uint32_t> referenceList, uint16_t relocationType);

uint32_t AppendExportDirectory(DataSection& section, uint32_t entryRva, std::string_view libraryName);

// Headers, data section, resource directory and relocations, placed by the plan.
std::vector<uint8_t> WriteImage(const ImageFormat& format, const ImagePlan& plan, std::span<const uint8_t> data,
                                std::span<const uint8_t> relocations);

}  // namespace tastora
