#pragma once
// Finding the tables of a layout library in its file when the library cannot
// be loaded: the export directory, the first exported function and the table
// address its first instruction loads, each located by the low 16 bits of
// its RVA.

#include <cstdint>
#include <optional>

#include "model/Bytes.h"

namespace tastora {

struct FileImageTables {
  uint64_t offset = 0;        // of the tables in the file
  uint32_t sectionDelta = 0;  // 12 when RVAs sit 0xC00 above their file offsets
};

std::optional<FileImageTables> FindTablesInFileImage(const ByteReader& image);

}  // namespace tastora
