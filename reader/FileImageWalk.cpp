#include "reader/FileImageWalk.h"

#include <algorithm>

#include "format/EntryCode.h"
#include "format/PeFormat.h"

namespace tastora {
namespace {

// Libraries whose headers start at 0xC0 carry their one section at file
// offset 0x400 for RVA 0x1000.
constexpr uint16_t kShiftedNewHeader = 0xC0;
constexpr uint32_t kShiftedSectionDelta = 12;
constexpr uint64_t kOptionalHeader = pe::kSignatureSize + pe::kFileHeaderSize;
constexpr uint64_t kExportEntry = pe::kDirectoryExport * pe::kDirectoryEntrySize;
constexpr uint64_t kInstructionOperand = 1;  // of "mov eax, imm32"
constexpr char kDescriptorName[] = "KbdLayerDescriptor";
// More names than any layout library exports; a count beyond it is not walked.
constexpr uint32_t kMaxNames = 64;

}  // namespace

std::optional<FileImageTables> FindTablesInFileImage(const ByteReader& image) {
  const auto newHeader = image.U16(pe::kDosNewHeader);
  if (!newHeader) return std::nullopt;
  const uint32_t delta = *newHeader == kShiftedNewHeader ? kShiftedSectionDelta : 0;
  // The low 16 bits of an RVA, turned into a file offset.
  auto offsetOf = [&](uint16_t v) -> std::optional<uint64_t> {
    const int64_t offset = int64_t{v & 0xFF} + 256 * (int64_t{v >> 8} - int64_t{delta});
    if (offset < 0) return std::nullopt;
    return static_cast<uint64_t>(offset);
  };
  // The RVA whose low 16 bits are at `at`, as a file offset.
  auto offsetAt = [&](uint64_t at) -> std::optional<uint64_t> {
    const auto v = image.U16(at);
    return v ? offsetOf(*v) : std::nullopt;
  };
  // PE32+ (x64, ARM64) has its directories 16 bytes further on.
  const bool pe32Plus = image.U16(*newHeader + kOptionalHeader + pe::kOptMagic) == pe::kMagicPe32Plus;
  const uint64_t directories = pe32Plus ? pe::kOptDirectories64 : pe::kOptDirectories32;
  const auto exports = offsetAt(*newHeader + kOptionalHeader + directories + kExportEntry);
  if (!exports) return std::nullopt;
  const auto functions = offsetAt(*exports + pe::kExportFunctions);
  if (!functions) return std::nullopt;
  if (!pe32Plus) {
    const auto firstFunction = offsetAt(*functions);
    if (!firstFunction) return std::nullopt;
    const auto tables = offsetAt(*firstFunction + kInstructionOperand);
    if (!tables) return std::nullopt;
    return FileImageTables{*tables, delta, 0};
  }
  // A 64-bit library is found by its export's name: a linker may leave the
  // first slot of the function table empty (ordinals from 1, base 0).
  const auto names = offsetAt(*exports + pe::kExportNames);
  const auto ordinals = offsetAt(*exports + pe::kExportOrdinals);
  const auto nameCount = image.U32(*exports + pe::kExportNameCount);
  if (!names || !ordinals || !nameCount) return std::nullopt;
  std::optional<uint32_t> entryRva;
  for (uint32_t i = 0; i < std::min(*nameCount, kMaxNames) && !entryRva; ++i) {
    const auto name = offsetAt(*names + 4 * uint64_t{i});
    const auto text = name ? image.Slice(*name, sizeof kDescriptorName) : std::nullopt;
    if (!text || !std::equal(text->begin(), text->end(), kDescriptorName)) continue;
    const auto ordinal = image.U16(*ordinals + 2 * uint64_t{i});
    if (!ordinal) return std::nullopt;
    entryRva = image.U32(*functions + 4 * uint64_t{*ordinal});
  }
  if (!entryRva) return std::nullopt;
  const auto function = offsetOf(static_cast<uint16_t>(*entryRva));
  const auto machine = image.U16(*newHeader + pe::kSignatureSize + pe::kFileMachine);
  if (!function || !machine) return std::nullopt;
  // 64-bit code holds no address: it forms one relative to where it runs,
  // so it is evaluated at the function's own RVA.
  const auto tablesRva = entry::ReturnedAddress(image, *function, *entryRva, *machine);
  if (!tablesRva) return std::nullopt;
  const auto tables = offsetOf(static_cast<uint16_t>(*tablesRva));
  const auto baseUpper = image.U32(*newHeader + kOptionalHeader + pe::kOptImageBase64 + 4);
  if (!tables || !baseUpper) return std::nullopt;
  return FileImageTables{*tables, delta, *baseUpper};
}

}  // namespace tastora
