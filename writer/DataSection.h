#pragma once
// The data section of a layout library as it is written: items are appended
// at the output position, each starting at a multiple of 8, and every
// reference written through PutReference is recorded for the relocations.
// Positions are RVAs; the section starts at RVA 0x1000.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "model/Bytes.h"

namespace tastora {

class DataSection {
 public:
  static constexpr uint32_t kStartRva = 0x1000;
  static constexpr uint32_t kItemAlignment = 8;

  explicit DataSection(uint32_t imageBase) : imageBase_(imageBase) {}

  uint32_t position() const { return position_; }
  uint32_t imageBase() const { return imageBase_; }
  // Bytes from kStartRva up to the output position.
  std::span<const uint8_t> bytes() const { return std::span(bytes_.bytes()).first(position_ - kStartRva); }
  // RVAs of the reference fields that received a target, in the order written.
  const std::vector<uint32_t>& referenceList() const { return references_; }

  // Copies `item` to the output position and returns its RVA; the position
  // then moves past it, to the next multiple of 8.
  uint32_t Append(std::span<const uint8_t> item) {
    const uint32_t at = AppendZeros(item.size());
    bytes_.Bytes(at - kStartRva, item);
    return at;
  }
  // Appends `size` zero bytes to be filled in place.
  uint32_t AppendZeros(size_t size) {
    const uint32_t at = position_;
    position_ = RoundUp(position_ + Checked(size), kItemAlignment);
    bytes_.Reserve(position_ - kStartRva);
    return at;
  }
  void AlignTo(uint32_t alignment) {
    position_ = RoundUp(position_, alignment);
    bytes_.Reserve(position_ - kStartRva);
  }

  // The field gets ImageBase + target in its low 4 bytes (the high 4 bytes
  // of an 8-byte field stay 0); a null target is 0 and needs no relocation.
  void PutReference(uint32_t fieldRva, uint32_t targetRva) {
    Inside(fieldRva, 4);
    bytes_.U32(fieldRva - kStartRva, targetRva == 0 ? 0 : imageBase_ + targetRva);
    if (targetRva != 0) references_.push_back(fieldRva);
  }

  // Fields of items already appended.
  void U8(uint32_t rva, uint8_t v) { Inside(rva, 1), bytes_.U8(rva - kStartRva, v); }
  void U16(uint32_t rva, uint16_t v) { Inside(rva, 2), bytes_.U16(rva - kStartRva, v); }
  void U32(uint32_t rva, uint32_t v) { Inside(rva, 4), bytes_.U32(rva - kStartRva, v); }

  static constexpr uint32_t RoundUp(uint32_t v, uint32_t alignment) { return (v + alignment - 1) / alignment * alignment; }

 private:
  // Library images are far below 4 GB; a size that is not is a fault of the caller.
  static uint32_t Checked(size_t size) {
    if (size > (1u << 30)) throw std::length_error("data section item too large");
    return static_cast<uint32_t>(size);
  }
  // Every write lands inside an item that has been appended.
  void Inside(uint32_t rva, uint32_t width) const {
    if (rva < kStartRva || rva + width > position_) throw std::logic_error("write outside the data section");
  }

  uint32_t imageBase_;
  uint32_t position_ = kStartRva;
  ByteWriter bytes_;
  std::vector<uint32_t> references_;
};

}  // namespace tastora
