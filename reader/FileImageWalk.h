#pragma once
// Finding the tables of a layout library in its file when the library cannot
// be loaded: the export directory, the first exported function and the table
// address its first instruction loads (x86), or the function exported as
// KbdLayerDescriptor and the address its code forms (x64, ARM64), each
// located by the low 16 bits of its RVA.

#include <cstdint>
#include <optional>

#include "model/Bytes.h"

namespace tastora {

struct FileImageTables {
  uint64_t offset = 0;        // of the tables in the file
  uint32_t sectionDelta = 0;  // 12 when RVAs sit 0xC00 above their file offsets
  // The upper half of the image base: what the upper halves of a 64-bit
  // library's references carry when it lies above 4 GB.
  uint32_t imageBaseUpper = 0;
};

std::optional<FileImageTables> FindTablesInFileImage(const ByteReader& image);

}  // namespace tastora
