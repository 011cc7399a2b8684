#pragma once
// The code of KbdLayerDescriptor in the forms layout libraries use: it puts
// the address of KBDTABLES in the return register and returns. The writer
// emits these forms; the loaders and the file walk evaluate them, without
// running anything, and anything else is no value.
//
//   x86    B8 imm32 [99] C3          mov eax, imm32; [cdq;] ret
//   x64    48 8D 05 disp32 C3        lea rax, [rip + disp32]; ret
//   ARM64  adrp x0; add x0, x0; ret  the page of the tables, their offset in it

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>

#include "format/PeFormat.h"

namespace tastora::entry {

inline constexpr uint32_t kArm64Size = 12;
inline constexpr uint64_t kArm64Page = 0x1000;
inline constexpr uint32_t kArm64Ret = 0xD65F03C0;       // ret (x30)
inline constexpr uint32_t kArm64AdrpX0 = 0x90000000;    // adrp x0, #0
inline constexpr uint32_t kArm64AdrpMask = 0x9F00001F;  // op, fixed bits and Rd
inline constexpr uint32_t kArm64AddX0X0 = 0x91000000;   // add x0, x0, #0
inline constexpr uint32_t kArm64AddMask = 0xFF8003FF;   // all but the shift and imm12
inline constexpr uint32_t kArm64AddShift12 = 1u << 22;
inline constexpr int64_t kArm64AdrpReach = int64_t{1} << 20;  // pages either way

// The ARM64 form, as three instruction words, for a function at `entryRva`
// returning `tablesRva`. Both instructions are relative to the function's
// own page, so the code needs no relocation wherever the image is mapped
// (images move by 64 KB).
constexpr std::array<uint32_t, 3> Arm64Code(uint32_t entryRva, uint32_t tablesRva) {
  const int64_t pages = int64_t{tablesRva >> 12} - int64_t{entryRva >> 12};
  if (pages >= kArm64AdrpReach || pages < -kArm64AdrpReach) throw std::logic_error("tables out of adrp's reach");
  const uint32_t imm = static_cast<uint32_t>(pages) & 0x1FFFFFu;
  return {kArm64AdrpX0 | ((imm & 3u) << 29) | ((imm >> 2) << 5), kArm64AddX0X0 | ((tablesRva & 0xFFFu) << 10),
          kArm64Ret};
}

// What the function at `at` in `code` (a bounds-checked reader with U8,
// U32 and I32) returns when it is mapped at `address`, for an image of
// that COFF machine.
template <typename Reader>
std::optional<uint64_t> ReturnedAddress(const Reader& code, uint64_t at, uint64_t address, uint16_t machine) {
  if (machine == pe::kMachineArm64) {
    const auto adrp = code.U32(at);
    const auto add = code.U32(at + 4);
    if (!adrp || !add || code.U32(at + 8) != kArm64Ret) return std::nullopt;
    if ((*adrp & kArm64AdrpMask) != kArm64AdrpX0 || (*add & kArm64AddMask) != kArm64AddX0X0) return std::nullopt;
    const uint32_t pages21 = (((*adrp >> 5) & 0x7FFFFu) << 2) | ((*adrp >> 29) & 3u);
    const int64_t pages = (pages21 & 0x100000u) ? int64_t{pages21} - 0x200000 : int64_t{pages21};
    const uint64_t offset = uint64_t{(*add >> 10) & 0xFFFu} << ((*add & kArm64AddShift12) ? 12 : 0);
    return (address & ~(kArm64Page - 1)) + static_cast<uint64_t>(pages) * kArm64Page + offset;
  }
  if (machine != pe::kMachineX86 && machine != pe::kMachineX64) return std::nullopt;
  const auto op = code.U8(at);
  if (op == uint8_t{0xB8}) {
    const auto imm = code.U32(at + 1);
    const auto next = code.U8(at + 5);
    if (imm && (next == uint8_t{0xC3} || (next == uint8_t{0x99} && code.U8(at + 6) == uint8_t{0xC3}))) return *imm;
    return std::nullopt;
  }
  if (machine == pe::kMachineX64 && op == uint8_t{0x48} && code.U8(at + 1) == uint8_t{0x8D} &&
      code.U8(at + 2) == uint8_t{0x05} && code.U8(at + 7) == uint8_t{0xC3}) {
    const auto disp = code.I32(at + 3);
    if (disp) return address + 7 + static_cast<uint64_t>(static_cast<int64_t>(*disp));
  }
  return std::nullopt;
}

}  // namespace tastora::entry
