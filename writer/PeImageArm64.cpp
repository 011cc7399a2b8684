// The ARM64 layout library: PE32+ with the tables of the x64 image, 64-bit
// relocations, and an entry that forms the tables' address from its own
// page. Windows on ARM64 maps every image at a random address (ASLR cannot
// be turned off there), so the image says what a linker says of an ARM64
// DLL: it may be moved anywhere, above 4 GB included, and its data is not
// code.

#include "format/EntryCode.h"
#include "format/PeFormat.h"
#include "writer/PeImage.h"

namespace tastora {
namespace {

// Instructions are 4-byte aligned; 16 as for the x64 entry.
constexpr uint32_t kCodeAlignment = 16;

uint32_t AppendEntryCodeArm64(DataSection& section, uint32_t tablesRva) {
  section.AlignTo(kCodeAlignment);
  const uint32_t at = section.AppendZeros(entry::kArm64Size);
  const auto words = entry::Arm64Code(at, tablesRva);
  for (uint32_t i = 0; i < words.size(); ++i) section.U32(at + 4 * i, words[i]);
  return at;
}

constexpr ImageFormat kFormatArm64{
    .kind = ImageKind::Arm64,
    .imageBase = kImageBase64,
    .machine = pe::kMachineArm64,
    .optionalHeaderSize = pe::kOptionalHeaderSize64,
    .characteristics = pe::kFileDll | pe::kFileLargeAddressAware | pe::kFileExecutableImage,
    .dllCharacteristics = pe::kDllHighEntropyVa | pe::kDllDynamicBase | pe::kDllNxCompatible,
    .magic = pe::kMagicPe32Plus,
    .linkerMajor = 14,
    .linkerMinor = 0,
    // Windows on ARM began with 6.2; no ARM image asks for less.
    .systemVersion = {6, 2},
    .stackReserve = 0x40000,
    .stackCommit = 0x1000,
    .heapReserve = 0x100000,
    .heapCommit = 0x1000,
    .relocationType = pe::kRelocDir64,
    // The section holds the entry's code, and says so, as a linker's .text
    // does; tools look for code only in such sections.
    .dataSectionExtra = pe::kSectionCode,
    .appendEntryCode = &AppendEntryCodeArm64,
};

}  // namespace

const ImageFormat& ImageFormatArm64() { return kFormatArm64; }

}  // namespace tastora
