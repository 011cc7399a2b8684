#include "reader/FileImageWalk.h"

#include "format/PeFormat.h"

namespace tastora {
namespace {

// Libraries whose headers start at 0xC0 carry their one section at file
// offset 0x400 for RVA 0x1000.
constexpr uint16_t kShiftedNewHeader = 0xC0;
constexpr uint32_t kShiftedSectionDelta = 12;
// The export directory's RVA, from the PE signature of a PE32 image.
constexpr uint64_t kExportTableRva =
    pe::kSignatureSize + pe::kFileHeaderSize + pe::kOptDirectories32 + pe::kDirectoryExport * pe::kDirectoryEntrySize;
constexpr uint64_t kInstructionOperand = 1;     // of "mov eax, imm32"

}  // namespace

std::optional<FileImageTables> FindTablesInFileImage(const ByteReader& image) {
  const auto newHeader = image.U16(pe::kDosNewHeader);
  if (!newHeader) return std::nullopt;
  const uint32_t delta = *newHeader == kShiftedNewHeader ? kShiftedSectionDelta : 0;
  // The 16-bit value at `at`, read as an RVA and turned into a file offset.
  auto offsetAt = [&](uint64_t at) -> std::optional<uint64_t> {
    const auto v = image.U16(at);
    if (!v) return std::nullopt;
    const int64_t offset = int64_t{*v & 0xFF} + 256 * (int64_t{*v >> 8} - int64_t{delta});
    if (offset < 0) return std::nullopt;
    return static_cast<uint64_t>(offset);
  };
  const auto exports = offsetAt(*newHeader + kExportTableRva);
  if (!exports) return std::nullopt;
  const auto functions = offsetAt(*exports + pe::kExportFunctions);
  if (!functions) return std::nullopt;
  const auto firstFunction = offsetAt(*functions);
  if (!firstFunction) return std::nullopt;
  const auto tables = offsetAt(*firstFunction + kInstructionOperand);
  if (!tables) return std::nullopt;
  return FileImageTables{*tables, delta};
}

}  // namespace tastora
