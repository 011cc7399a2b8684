#pragma once
// One character between 16 and 8 bits in a Windows code page: what the
// layout model needs of the platform to narrow or widen a layout. Each
// platform gives its own (platform/win32, platform/offline).

#include <cstdint>

namespace tastora {

// Code page 0 is the system's default code page and 1 its OEM code page.
class CodePages {
 public:
  virtual ~CodePages() = default;
  // The first byte of the conversion; `fallback` for a character the code page lacks.
  virtual uint8_t WideToNarrow(uint16_t ch, unsigned codePage, uint8_t fallback) = 0;
  virtual uint16_t NarrowToWide(uint8_t ch, unsigned codePage) = 0;
};

}  // namespace tastora
