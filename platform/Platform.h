#pragma once
// The ports through which the core reaches the platform. Each has a Windows
// implementation (platform/win32) and an offline one (platform/offline).

#include <cstdint>
#include <string>
#include <string_view>

namespace tastora {

// One character between 16 and 8 bits in a Windows code page. Code page 0 is
// the system's default code page and 1 its OEM code page.
class CodePages {
 public:
  virtual ~CodePages() = default;
  // The first byte of the conversion; `fallback` for a character the code page lacks.
  virtual uint8_t WideToNarrow(uint16_t ch, unsigned codePage, uint8_t fallback) = 0;
  virtual uint16_t NarrowToWide(uint8_t ch, unsigned codePage) = 0;
};

// Message boxes. Texts are passed exactly as the system words them; a
// carriage return is a line break.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void ShowMessage(std::string_view text) = 0;
  virtual void ShowWarning(std::string_view text) = 0;
  virtual void ShowError(std::string_view text, std::string_view caption) = 0;
  virtual bool AskYesNo(std::string_view text) = 0;
};

}  // namespace tastora
