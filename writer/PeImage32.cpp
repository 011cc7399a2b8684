// The x86 layout library: PE32, image base 0x767B0000, 32-bit relocations.

#include <array>

#include "format/PeFormat.h"
#include "writer/PeImage.h"

namespace tastora {
namespace {

constexpr uint32_t kEntryOperand = 1;

// mov eax, imm32; cdq; ret: the address comes back as a 64-bit value in
// edx:eax, as 64-bit Windows asks of the tables' form with 8-byte fields.
uint32_t AppendEntryCode32(DataSection& section, uint32_t tablesRva) {
  constexpr std::array<uint8_t, 7> kCode{0xB8, 0x00, 0x00, 0x00, 0x00, 0x99, 0xC3};
  const uint32_t at = section.Append(kCode);
  section.PutReference(at + kEntryOperand, tablesRva);
  return at;
}

constexpr ImageFormat kFormat32{
    .kind = ImageKind::X86,
    .imageBase = kImageBase32,
    .machine = pe::kMachineX86,
    .optionalHeaderSize = pe::kOptionalHeaderSize32,
    .characteristics = pe::kFileDll | pe::kFile32BitMachine | pe::kFileLocalSymbolsStripped |
                       pe::kFileLineNumbersStripped | pe::kFileExecutableImage,
    .dllCharacteristics = 0,
    .magic = pe::kMagicPe32,
    .linkerMajor = 3,
    .linkerMinor = 10,
    .systemVersion = {4, 0},
    .stackReserve = 0x100000,
    .stackCommit = 0x1000,
    .heapReserve = 0x100000,
    .heapCommit = 0x1000,
    .relocationType = pe::kRelocHighLow,
    .dataSectionExtra = 0,
    .appendEntryCode = &AppendEntryCode32,
};

// The same image for a 32-bit Windows; only its tables' form differs.
constexpr ImageFormat kFormatNative32 = [] {
  ImageFormat format = kFormat32;
  format.kind = ImageKind::X86Native;
  return format;
}();

}  // namespace

const ImageFormat& ImageFormat32() { return kFormat32; }
const ImageFormat& ImageFormatNative32() { return kFormatNative32; }

}  // namespace tastora
