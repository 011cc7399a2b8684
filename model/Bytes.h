#pragma once
// The one bounds-checked reader and the one little-endian writer for every
// binary format of the program. A read outside the buffer, or an offset that
// overflows, yields no value instead of touching memory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tastora {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t size() const { return bytes_.size(); }
  std::span<const uint8_t> bytes() const { return bytes_; }

  bool Contains(uint64_t offset, uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }

  std::optional<uint8_t> U8(uint64_t offset) const {
    if (!Contains(offset, 1)) return std::nullopt;
    return bytes_[offset];
  }
  std::optional<uint16_t> U16(uint64_t offset) const {
    if (!Contains(offset, 2)) return std::nullopt;
    return static_cast<uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
  }
  std::optional<uint32_t> U32(uint64_t offset) const {
    if (!Contains(offset, 4)) return std::nullopt;
    return static_cast<uint32_t>(bytes_[offset]) | (static_cast<uint32_t>(bytes_[offset + 1]) << 8) |
           (static_cast<uint32_t>(bytes_[offset + 2]) << 16) | (static_cast<uint32_t>(bytes_[offset + 3]) << 24);
  }
  std::optional<int32_t> I32(uint64_t offset) const {
    auto v = U32(offset);
    if (!v) return std::nullopt;
    return static_cast<int32_t>(*v);
  }
  std::optional<uint64_t> U64(uint64_t offset) const {
    auto lo = U32(offset);
    auto hi = U32(offset + 4);
    if (!lo || !hi || offset + 4 < offset) return std::nullopt;
    return *lo | (static_cast<uint64_t>(*hi) << 32);
  }
  std::optional<std::span<const uint8_t>> Slice(uint64_t offset, uint64_t length) const {
    if (!Contains(offset, length)) return std::nullopt;
    return bytes_.subspan(offset, length);
  }

 private:
  std::span<const uint8_t> bytes_;
};

// Writes little-endian values at explicit offsets into a buffer that grows to
// hold them.
class ByteWriter {
 public:
  explicit ByteWriter(size_t initialSize = 0) : bytes_(initialSize, 0) {}

  void U8(size_t offset, uint8_t v) { Put(offset, v, 1); }
  void U16(size_t offset, uint16_t v) { Put(offset, v, 2); }
  void U32(size_t offset, uint32_t v) { Put(offset, v, 4); }
  void U64(size_t offset, uint64_t v) { Put(offset, v, 8); }
  void Bytes(size_t offset, std::span<const uint8_t> data) {
    Reserve(offset + data.size());
    for (size_t i = 0; i < data.size(); ++i) bytes_[offset + i] = data[i];
  }
  void Reserve(size_t size) {
    if (bytes_.size() < size) bytes_.resize(size, 0);
  }

  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  void Put(size_t offset, uint64_t v, size_t width) {
    Reserve(offset + width);
    for (size_t i = 0; i < width; ++i) bytes_[offset + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  std::vector<uint8_t> bytes_;
};

}  // namespace tastora
