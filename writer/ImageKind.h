#pragma once
// The layout library images: x86 (PE32) for the 32-bit view of 64-bit
// Windows, with 8-byte reference fields; x86 for a Windows that is 32-bit
// throughout, with 4-byte ones; x64 and ARM64 (PE32+), with 8-byte ones.

#include <cstdint>

namespace tastora {

enum class ImageKind : uint8_t { X86, X64, X86Native, Arm64 };

inline constexpr uint32_t kImageBase32 = 0x767B0000;
inline constexpr uint32_t kImageBase64 = 0x5FFE0000;

inline constexpr bool IsPe32Plus(ImageKind kind) { return kind == ImageKind::X64 || kind == ImageKind::Arm64; }
inline constexpr uint32_t ImageBaseOf(ImageKind kind) { return IsPe32Plus(kind) ? kImageBase64 : kImageBase32; }

}  // namespace tastora
