#pragma once
// The ports through which the core reaches the platform. Each has a Windows
// implementation (platform/win32) and an offline one (platform/offline).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Files. Paths are the platform's own (on Windows a Windows path; offline a
// host path, or a Windows path inside the folder tree where a port says so).
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Reads up to `maxBytes` from the start of the file. With `openForWriting`
  // the file is opened for reading and writing, so a read-only file fails.
  // No value when the file cannot be opened or read.
  virtual std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes,
                                                       bool openForWriting) = 0;
};

}  // namespace tastora
