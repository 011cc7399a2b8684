#include "writer/PeImage.h"

#include <algorithm>
#include <map>
#include <string>

#include "format/PeFormat.h"

namespace tastora {
namespace {

constexpr uint32_t kExportTimeStamp = 0x33568C77;
constexpr uint32_t kResourceTimeStamp = 0x34BF953F;
constexpr uint32_t kLibraryNameLength = 12;  // and a 0 byte
constexpr char kDescriptorName[] = "KbdLayerDescriptor";
// .reloc's virtual size keeps 12 bytes of slack past its blocks.
constexpr uint32_t kRelocVirtualSurplus = 12;

// What follows the export directory, from its start.
constexpr uint32_t kExportFunctionTable = pe::kExportDirectorySize;
constexpr uint32_t kExportNameTable = 44;
constexpr uint32_t kExportOrdinalTable = 48;
constexpr uint32_t kExportLibraryName = 50;
constexpr uint32_t kExportFunctionName = 63;

// Header template.
constexpr uint32_t kNewHeader = 0x80;
constexpr uint32_t kFileHeader = kNewHeader + pe::kSignatureSize;
constexpr uint32_t kOptionalHeader = kFileHeader + pe::kFileHeaderSize;
constexpr uint16_t kSectionCount = 3;
constexpr uint32_t kHeaderTimeStamp = 0x3356A566;
constexpr uint32_t kSizeOfHeaders = 0x400;
constexpr uint32_t kCheckSum = 0x0000E8E6;  // fixed; Windows checks it only for drivers
// .data also holds the entry code.
constexpr uint32_t kDataCharacteristics = pe::kSectionRead | pe::kSectionExecute | pe::kSectionInitializedData;
constexpr uint32_t kReadOnlyDataCharacteristics =
    pe::kSectionRead | pe::kSectionDiscardable | pe::kSectionInitializedData;
constexpr uint8_t kDosStub[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09, 0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
constexpr char kDosMessage[] = "This program cannot be run in DOS mode.\r\r\n$";

uint32_t RoundUp(uint32_t v, uint32_t alignment) { return DataSection::RoundUp(v, alignment); }

void Text(ByteWriter& w, size_t at, std::string_view text) {
  w.Bytes(at, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void WriteDosHeader(ByteWriter& w) {
  w.U16(0, pe::kDosMagic);
  const uint16_t fields[] = {0x0090, 0x0003, 0x0000, 0x0004, 0x0000, 0xFFFF, 0x0000, 0x00B8};
  for (size_t i = 0; i < std::size(fields); ++i) w.U16(2 + 2 * i, fields[i]);
  w.U16(pe::kDosRelocationTable, pe::kDosHeaderSize);
  w.U32(pe::kDosNewHeader, kNewHeader);
  w.Bytes(pe::kDosHeaderSize, kDosStub);
  Text(w, pe::kDosHeaderSize + sizeof kDosStub, kDosMessage);
}

struct SectionHeader {
  const char* name;
  uint32_t virtualSize, rva, rawSize, rawOffset, characteristics;
};

void WriteSection(ByteWriter& w, size_t at, const SectionHeader& s) {
  Text(w, at + pe::kSectionName, s.name);
  w.U32(at + pe::kSectionVirtualSize, s.virtualSize);
  w.U32(at + pe::kSectionRva, s.rva);
  w.U32(at + pe::kSectionRawSize, s.rawSize);
  w.U32(at + pe::kSectionRawOffset, s.rawOffset);
  w.U32(at + pe::kSectionCharacteristics, s.characteristics);
}

void WriteHeaders(ByteWriter& w, const ImageFormat& f, const ImagePlan& plan) {
  WriteDosHeader(w);
  w.U32(kNewHeader, pe::kSignature);
  w.U16(kFileHeader + pe::kFileMachine, f.machine);
  w.U16(kFileHeader + pe::kFileSectionCount, kSectionCount);
  w.U32(kFileHeader + pe::kFileTimeDateStamp, kHeaderTimeStamp);
  w.U16(kFileHeader + pe::kFileOptionalHeaderSize, f.optionalHeaderSize);
  w.U16(kFileHeader + pe::kFileCharacteristics, f.characteristics);

  const uint32_t o = kOptionalHeader;
  w.U16(o + pe::kOptMagic, f.magic);
  w.U8(o + pe::kOptLinkerMajor, f.linkerMajor);
  w.U8(o + pe::kOptLinkerMinor, f.linkerMinor);
  w.U32(o + pe::kOptSizeOfInitializedData, plan.exportRva);
  w.U32(o + pe::kOptBaseOfCode, DataSection::kStartRva);
  if (f.pe32Plus()) {
    w.U64(o + pe::kOptImageBase64, f.imageBase);
  } else {
    w.U32(o + pe::kOptBaseOfData32, DataSection::kStartRva);
    w.U32(o + pe::kOptImageBase32, f.imageBase);
  }
  w.U32(o + pe::kOptSectionAlignment, kSectionAlignment);
  w.U32(o + pe::kOptFileAlignment, kFileAlignment);
  for (const uint32_t version : {pe::kOptOperatingSystemVersion, pe::kOptImageVersion, pe::kOptSubsystemVersion}) {
    w.U16(o + version, f.systemVersion[0]);
    w.U16(o + version + 2, f.systemVersion[1]);
  }
  w.U32(o + pe::kOptSizeOfImage, plan.sizeOfImage);
  w.U32(o + pe::kOptSizeOfHeaders, kSizeOfHeaders);
  w.U32(o + pe::kOptCheckSum, kCheckSum);
  w.U16(o + pe::kOptSubsystem, pe::kSubsystemNative);
  w.U16(o + pe::kOptDllCharacteristics, f.dllCharacteristics);
  const uint64_t memory[] = {f.stackReserve, f.stackCommit, f.heapReserve, f.heapCommit};
  const uint32_t width = f.pe32Plus() ? 8 : 4;
  for (uint32_t i = 0; i < 4; ++i) {
    if (f.pe32Plus())
      w.U64(o + pe::kOptMemorySizes + width * i, memory[i]);
    else
      w.U32(o + pe::kOptMemorySizes + width * i, static_cast<uint32_t>(memory[i]));
  }
  const uint32_t directories = o + (f.pe32Plus() ? pe::kOptDirectories64 : pe::kOptDirectories32);
  w.U32(directories - pe::kOptDirectoryCountBefore, pe::kDirectoryCount);
  auto directory = [&](uint32_t index, uint32_t rva, uint32_t size) {
    w.U32(directories + pe::kDirectoryEntrySize * index + pe::kDirectoryRva, rva);
    w.U32(directories + pe::kDirectoryEntrySize * index + pe::kDirectorySize, size);
  };
  directory(pe::kDirectoryExport, plan.exportRva, kExportDirectorySize);
  directory(pe::kDirectoryResource, plan.resourceRva, kResourceDirectorySize);
  directory(pe::kDirectoryRelocation, plan.relocRva, plan.relocSize);

  const uint32_t sections = o + f.optionalHeaderSize;
  WriteSection(w, sections, {".data", plan.dataVirtualSize, DataSection::kStartRva, plan.dataRawSize,
                             DataSection::kStartRva, kDataCharacteristics | f.dataSectionExtra});
  WriteSection(w, sections + pe::kSectionHeaderSize,
               {".rsrc", kResourceDirectorySize, plan.resourceRva, kResourceRawSize, plan.resourceOffset,
                kReadOnlyDataCharacteristics});
  WriteSection(w, sections + 2 * pe::kSectionHeaderSize,
               {".reloc", plan.relocVirtualSize, plan.relocRva, plan.relocRawSize, plan.relocOffset,
                kReadOnlyDataCharacteristics});
}

}  // namespace

ImagePlan PlanImage(uint32_t dataEnd, uint32_t entryRva, uint32_t exportRva, uint32_t relocSize) {
  ImagePlan p;
  p.entryRva = entryRva;
  p.exportRva = exportRva;
  p.dataVirtualSize = dataEnd - DataSection::kStartRva;
  p.resourceOffset = RoundUp(dataEnd, kFileAlignment);
  p.dataRawSize = p.resourceOffset - DataSection::kStartRva;
  p.resourceRva = RoundUp(p.resourceOffset, kSectionAlignment);
  p.relocOffset = p.resourceOffset + kResourceBlockSize;
  p.relocRva = p.resourceRva + kSectionAlignment;
  p.relocSize = relocSize;
  p.relocVirtualSize = relocSize + kRelocVirtualSurplus;
  p.relocRawSize = std::max(kFileAlignment, RoundUp(relocSize, kFileAlignment));
  p.fileSize = p.relocOffset + p.relocRawSize;
  // The image ends with .reloc; as many pages as its virtual size needs.
  p.sizeOfImage = std::max(kMinSizeOfImage, p.relocRva + RoundUp(p.relocVirtualSize, kSectionAlignment));
  return p;
}

std::vector<uint8_t> BuildRelocationBlocks(std::span<const uint32_t> referenceList, uint16_t relocationType) {
  std::map<uint32_t, std::vector<uint16_t>> pages;
  for (const uint32_t rva : referenceList)
    pages[rva & ~(pe::kRelocPageSize - 1)].push_back(
        static_cast<uint16_t>((relocationType << pe::kRelocTypeShift) | (rva & pe::kRelocOffsetMask)));
  ByteWriter w;
  size_t at = 0;
  for (auto& [page, entries] : pages) {
    if (entries.size() % 2 != 0) entries.push_back(pe::kRelocAbsolute);
    const size_t size = pe::kRelocBlockHeaderSize + 2 * entries.size();
    w.U32(at + pe::kRelocBlockPage, page);
    w.U32(at + pe::kRelocBlockSize, static_cast<uint32_t>(size));
    for (size_t i = 0; i < entries.size(); ++i) w.U16(at + pe::kRelocBlockHeaderSize + 2 * i, entries[i]);
    at += size;
  }
  return w.Take();
}

uint32_t AppendExportDirectory(DataSection& section, uint32_t entryRva, std::string_view libraryName) {
  const uint32_t x = section.AppendZeros(kExportDirectorySize);
  section.U32(x + pe::kExportTimeDateStamp, kExportTimeStamp);
  section.U32(x + pe::kExportName, x + kExportLibraryName);
  section.U32(x + pe::kExportBase, 1);
  section.U32(x + pe::kExportFunctionCount, 1);
  section.U32(x + pe::kExportNameCount, 1);
  section.U32(x + pe::kExportFunctions, x + kExportFunctionTable);
  section.U32(x + pe::kExportNames, x + kExportNameTable);
  section.U32(x + pe::kExportOrdinals, x + kExportOrdinalTable);
  section.U32(x + kExportFunctionTable, entryRva);
  section.U32(x + kExportNameTable, x + kExportFunctionName);
  const std::string_view name = libraryName.substr(0, kLibraryNameLength);
  for (size_t i = 0; i < name.size(); ++i) section.U8(x + kExportLibraryName + uint32_t(i), uint8_t(name[i]));
  for (size_t i = 0; i < sizeof kDescriptorName - 1; ++i)
    section.U8(x + kExportFunctionName + uint32_t(i), uint8_t(kDescriptorName[i]));
  return x;
}

std::vector<uint8_t> WriteImage(const ImageFormat& format, const ImagePlan& plan, std::span<const uint8_t> data,
                                std::span<const uint8_t> relocations) {
  ByteWriter w(plan.fileSize);
  WriteHeaders(w, format, plan);
  w.Bytes(DataSection::kStartRva, data);
  // Resource directory: no entries.
  w.U32(plan.resourceOffset + pe::kResourceTimeDateStamp, kResourceTimeStamp);
  w.Bytes(plan.relocOffset, relocations);
  return w.Take();
}

}  // namespace tastora
