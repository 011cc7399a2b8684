#pragma once
// The two layout library images: x86 (PE32) and x64 (PE32+).

#include <cstdint>

namespace tastora {

enum class ImageKind : uint8_t { X86, X64 };

inline constexpr uint32_t kImageBase32 = 0x767B0000;
inline constexpr uint32_t kImageBase64 = 0x5FFE0000;

inline constexpr uint32_t ImageBaseOf(ImageKind kind) { return kind == ImageKind::X86 ? kImageBase32 : kImageBase64; }

}  // namespace tastora
