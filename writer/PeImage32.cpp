// The x86 layout library: PE32, image base 0x767B0000, 32-bit relocations.

#include <array>

#include "writer/PeImage.h"

namespace tastora {
namespace {

constexpr uint16_t kRelocHighLow = 3;
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
    ImageKind::X86, kImageBase32, 0x014C, 0x00E0, 0x210E, 0x010B, 3, 10, {4, 0},
    0x100000, 0x1000, 0x100000, 0x1000, kRelocHighLow, &AppendEntryCode32,
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
