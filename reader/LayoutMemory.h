#pragma once
// Where the tables of a layout library are read from: the loaded library,
// through the loader port, or the reader's own copy of the file. A table
// reference resolves to one of the two; every read is checked and a failed
// read is a value, never a touch of memory that is not there.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "model/Bytes.h"
#include "platform/LibraryLoader.h"

namespace tastora {

enum class Space : uint8_t { Null, Library, FileImage };

// A resolved reference. File positions below the start of the file wrap
// around and simply fail to read; they may still be walked forward from.
struct Location {
  Space space = Space::Null;
  uint64_t address = 0;

  bool IsNull() const { return space == Space::Null; }
  Location operator+(uint64_t offset) const { return {space, address + offset}; }
};

// Resolves 32-bit table references as the layout libraries of each Windows
// generation need: older systems hand out plain addresses; newer ones are
// told apart by the upper 16 bits of the anchor the reference belongs to.
struct ReferenceResolver {
  uint32_t majorVersion = 0;
  uint32_t sectionDelta = 0;  // 12 when the file's section sits 0xC00 below its RVA
  // With a loaded library: whether an address lies in its image. A table more
  // than 64 KB away from its anchor still belongs to the library then.
  std::function<bool(uint64_t)> inLoadedImage;
  // Without a loaded library: the upper half of the image base, which the
  // wide references of a library above 4 GB carry.
  uint32_t imageBaseUpper = 0;

  Location Resolve(uint32_t reference, uint64_t anchor) const;
  Location FileOffsetOf(uint32_t reference) const;
};

class LayoutMemory {
 public:
  // Without a loader there is no library: library reads fail.
  LayoutMemory(std::span<const uint8_t> fileImage, LibraryLoader* loader, LibraryHandle library);

  bool HasLibrary() const { return loader_ != nullptr; }
  bool Read(Location at, std::span<uint8_t> out);
  bool ReadLibrary(uint64_t address, std::span<uint8_t> out);

  std::optional<uint8_t> U8(Location at);
  std::optional<uint16_t> U16(Location at);
  std::optional<uint32_t> U32(Location at);

 private:
  static constexpr uint64_t kPageSize = 4096;
  static constexpr size_t kPages = 4;
  struct Page {
    bool tried = false;
    bool valid = false;
    uint64_t address = 0;
    std::vector<uint8_t> bytes;
  };
  const std::vector<uint8_t>* CachedPage(uint64_t pageAddress);
  // A reader over the bytes that hold [at, at + width) and the offset of
  // `at` in them, when they are at hand without a copy.
  std::optional<std::pair<ByteReader, uint64_t>> Direct(Location at, uint64_t width);
  template <typename T>
  std::optional<T> Value(Location at, std::optional<T> (ByteReader::*get)(uint64_t) const);

  ByteReader file_;
  LibraryLoader* loader_;
  LibraryHandle library_;
  // The tables are read a few bytes at a time; whole pages keep the port
  // calls few.
  std::array<Page, kPages> pages_;
};

// Hot: every field of every table is read through these.
inline std::optional<std::pair<ByteReader, uint64_t>> LayoutMemory::Direct(Location at, uint64_t width) {
  if (at.space == Space::FileImage) return std::pair{file_, at.address};
  if (at.space != Space::Library || !loader_) return std::nullopt;
  const uint64_t inPage = at.address % kPageSize;
  if (inPage + width > kPageSize) return std::nullopt;
  const std::vector<uint8_t>* page = CachedPage(at.address - inPage);
  if (!page) return std::nullopt;
  return std::pair{ByteReader(*page), inPage};
}

template <typename T>
inline std::optional<T> LayoutMemory::Value(Location at, std::optional<T> (ByteReader::*get)(uint64_t) const) {
  if (const auto direct = Direct(at, sizeof(T))) return (direct->first.*get)(direct->second);
  // Across a page boundary, or in a page that is only partly readable.
  std::array<uint8_t, sizeof(T)> b;
  if (!Read(at, b)) return std::nullopt;
  return (ByteReader(b).*get)(0);
}

inline std::optional<uint8_t> LayoutMemory::U8(Location at) { return Value(at, &ByteReader::U8); }
inline std::optional<uint16_t> LayoutMemory::U16(Location at) { return Value(at, &ByteReader::U16); }
inline std::optional<uint32_t> LayoutMemory::U32(Location at) { return Value(at, &ByteReader::U32); }

}  // namespace tastora
