#include "platform/win32/Win32CodePages.h"

#include <windows.h>

namespace tastora {

uint8_t Win32CodePages::WideToNarrow(uint16_t ch, unsigned codePage, uint8_t fallback) {
  const wchar_t wide = static_cast<wchar_t>(ch);
  char out[8] = {};
  const char defaultChar = static_cast<char>(fallback);
  int written = WideCharToMultiByte(codePage, WC_COMPOSITECHECK, &wide, 1, out, sizeof out, &defaultChar, nullptr);
  // Some code pages refuse the composite check; convert without it then.
  if (written <= 0) written = WideCharToMultiByte(codePage, 0, &wide, 1, out, sizeof out, &defaultChar, nullptr);
  return written > 0 ? static_cast<uint8_t>(out[0]) : fallback;
}

uint16_t Win32CodePages::NarrowToWide(uint8_t ch, unsigned codePage) {
  const char narrow = static_cast<char>(ch);
  wchar_t out[4] = {};
  const int written = MultiByteToWideChar(codePage, MB_PRECOMPOSED, &narrow, 1, out, 4);
  return written > 0 ? static_cast<uint16_t>(out[0]) : static_cast<uint16_t>(ch);
}

}  // namespace tastora
