#pragma once
// Writing a whole file in one go, as the layout library writers do. Not being
// able to open the file (rights, a locked file) is kept apart from a write
// that fails once the file is open: callers report the two differently.

#include <cstdint>
#include <span>
#include <string>

namespace tastora {

inline constexpr uint32_t kFileAttributeArchive = 0x20;

class FileWriter {
 public:
  enum class Outcome { Written, NotOpened, WriteFailed };

  virtual ~FileWriter() = default;
  // Windows file attributes; false when they could not be set (for example,
  // the file does not exist yet).
  virtual bool SetAttributes(const std::string& path, uint32_t attributes) = 0;
  // Creates the file or truncates it, writes `bytes` with one write, closes it.
  virtual Outcome WriteWhole(const std::string& path, std::span<const uint8_t> bytes) = 0;
};

}  // namespace tastora
