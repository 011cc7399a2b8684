#include "reader/FileImageWalk.h"

namespace tastora {
namespace {

constexpr uint64_t kNewHeaderOffset = 0x3C;
// Libraries whose headers start at 0xC0 carry their one section at file
// offset 0x400 for RVA 0x1000.
constexpr uint16_t kShiftedNewHeader = 0xC0;
constexpr uint32_t kShiftedSectionDelta = 12;
constexpr uint64_t kExportTableRva = 0x78;      // from the PE signature, PE32
constexpr uint64_t kExportFunctionTable = 0x1C;  // in the export directory
constexpr uint64_t kInstructionOperand = 1;     // of "mov eax, imm32"

}  // namespace

std::optional<FileImageTables> FindTablesInFileImage(const ByteReader& image) {
  const auto newHeader = image.U16(kNewHeaderOffset);
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
  const auto functions = offsetAt(*exports + kExportFunctionTable);
  if (!functions) return std::nullopt;
  const auto firstFunction = offsetAt(*functions);
  if (!firstFunction) return std::nullopt;
  const auto tables = offsetAt(*firstFunction + kInstructionOperand);
  if (!tables) return std::nullopt;
  return FileImageTables{*tables, delta};
}

}  // namespace tastora
