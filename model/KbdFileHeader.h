#pragma once
// What a written .kbd file takes over from the .kbd file read last: the
// language identifier with the four bytes after it, and the data-header flags,
// whose other bits the program does not interpret.

#include <array>
#include <cstdint>

namespace tastora {

inline constexpr uint16_t kKbdDefaultFlags = 0x0A;

struct KbdFileHeader {
  bool read = false;                 // a .kbd file has been read in this process
  std::array<uint8_t, 6> bytes2to7{};  // file bytes 2..7 of that file
  uint16_t flags = kKbdDefaultFlags;
};

}  // namespace tastora
