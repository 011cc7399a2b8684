#pragma once

#include "platform/Platform.h"

namespace tastora {

class Win32CodePages final : public CodePages {
 public:
  uint8_t WideToNarrow(uint16_t ch, unsigned codePage, uint8_t fallback) override;
  uint16_t NarrowToWide(uint8_t ch, unsigned codePage) override;
};

}  // namespace tastora
