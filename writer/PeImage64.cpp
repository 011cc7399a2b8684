// The x64 layout library: PE32+, image base 0x5FFE0000, 64-bit relocations.

#include <array>

#include "format/PeFormat.h"
#include "writer/PeImage.h"

namespace tastora {
namespace {

constexpr uint32_t kCodeAlignment = 16;
constexpr uint32_t kDisplacement = 3;
constexpr uint32_t kInstructionEnd = 7;

// lea rax, [rip + disp32]; ret: position-independent, so no relocation.
uint32_t AppendEntryCode64(DataSection& section, uint32_t tablesRva) {
  constexpr std::array<uint8_t, 8> kCode{0x48, 0x8D, 0x05, 0x00, 0x00, 0x00, 0x00, 0xC3};
  section.AlignTo(kCodeAlignment);
  const uint32_t at = section.Append(kCode);
  section.U32(at + kDisplacement, tablesRva - (at + kInstructionEnd));
  return at;
}

constexpr ImageFormat kFormat64{
    .kind = ImageKind::X64,
    .imageBase = kImageBase64,
    .machine = pe::kMachineX64,
    .optionalHeaderSize = pe::kOptionalHeaderSize64,
    .characteristics = pe::kFileDll | pe::kFileLargeAddressAware | pe::kFileExecutableImage,
    .dllCharacteristics = 0,
    .magic = pe::kMagicPe32Plus,
    .linkerMajor = 8,
    .linkerMinor = 0,
    .systemVersion = {5, 2},
    .stackReserve = 0x40000,
    .stackCommit = 0x1000,
    .heapReserve = 0x100000,
    .heapCommit = 0x1000,
    .relocationType = pe::kRelocDir64,
    .dataSectionExtra = 0,
    .appendEntryCode = &AppendEntryCode64,
};

}  // namespace

const ImageFormat& ImageFormat64() { return kFormat64; }

}  // namespace tastora
