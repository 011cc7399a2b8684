#pragma once
// Code pages on any host, through iconv. Each code page is turned into a
// 256-entry table on first use, so a conversion is a table lookup.

#include <array>
#include <cstdint>
#include <map>
#include <unordered_map>

#include "platform/Platform.h"

namespace tastora {

class IconvCodePages final : public CodePages {
 public:
  // The system default and OEM code pages this host stands in for.
  explicit IconvCodePages(unsigned ansiCodePage = 1252, unsigned oemCodePage = 437);

  uint8_t WideToNarrow(uint16_t ch, unsigned codePage, uint8_t fallback) override;
  uint16_t NarrowToWide(uint8_t ch, unsigned codePage) override;

 private:
  struct Table {
    std::array<uint16_t, 256> toWide{};
    std::unordered_map<uint16_t, uint8_t> toNarrow;
  };
  const Table& TableOf(unsigned codePage);

  unsigned ansiCodePage_;
  unsigned oemCodePage_;
  std::map<unsigned, Table> tables_;
};

}  // namespace tastora
