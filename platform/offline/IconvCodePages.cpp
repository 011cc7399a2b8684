#include "platform/offline/IconvCodePages.h"

#include <iconv.h>

#include <string>

namespace tastora {
namespace {

// One byte to UTF-16 with iconv; 0 when the code page has no character there.
uint16_t DecodeByte(iconv_t cd, uint8_t byte) {
  char in[1] = {static_cast<char>(byte)};
  unsigned char out[4] = {};
  char* inPtr = in;
  char* outPtr = reinterpret_cast<char*>(out);
  size_t inLeft = 1;
  size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return 0;
  if (sizeof out - outLeft != 2) return 0;
  return static_cast<uint16_t>(out[0] | (out[1] << 8));
}

}  // namespace

IconvCodePages::IconvCodePages(unsigned ansiCodePage, unsigned oemCodePage)
    : ansiCodePage_(ansiCodePage), oemCodePage_(oemCodePage) {}

const IconvCodePages::Table& IconvCodePages::TableOf(unsigned codePage) {
  if (codePage == 0) codePage = ansiCodePage_;
  if (codePage == 1) codePage = oemCodePage_;
  auto found = tables_.find(codePage);
  if (found != tables_.end()) return found->second;

  Table& table = tables_[codePage];
  const std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-16LE", name.c_str());
  const bool opened = cd != reinterpret_cast<iconv_t>(-1);
  for (unsigned b = 0; b < 256; ++b) {
    // Bytes a code page leaves undefined pass through as the same code point,
    // as the Windows tables of these code pages map them.
    const uint16_t decoded = opened ? DecodeByte(cd, static_cast<uint8_t>(b)) : 0;
    const uint16_t wide = decoded != 0 ? decoded : static_cast<uint16_t>(b);
    table.toWide[b] = wide;
    table.toNarrow.emplace(wide, static_cast<uint8_t>(b));  // first byte wins
  }
  if (opened) iconv_close(cd);
  return table;
}

uint8_t IconvCodePages::WideToNarrow(uint16_t ch, unsigned codePage, uint8_t fallback) {
  const Table& table = TableOf(codePage);
  auto found = table.toNarrow.find(ch);
  return found == table.toNarrow.end() ? fallback : found->second;
}

uint16_t IconvCodePages::NarrowToWide(uint8_t ch, unsigned codePage) {
  return TableOf(codePage).toWide[ch];
}

}  // namespace tastora
