#include "writer/PeImage.h"

#include <algorithm>
#include <map>
#include <string>

namespace tastora {
namespace {

constexpr uint32_t kExportTimeStamp = 0x33568C77;
constexpr uint32_t kResourceTimeStamp = 0x34BF953F;
constexpr uint32_t kLibraryNameLength = 12;  // and a 0 byte
constexpr char kDescriptorName[] = "KbdLayerDescriptor";
// .reloc's virtual size keeps 12 bytes of slack past its blocks.
constexpr uint32_t kRelocVirtualSurplus = 12;
constexpr uint32_t kRelocBlockHeader = 8;
constexpr uint32_t kPageSize = 0x1000;

// Export directory fields, from its start.
constexpr uint32_t kExportTimeDateStamp = 4;
constexpr uint32_t kExportName = 12;
constexpr uint32_t kExportBase = 16;
constexpr uint32_t kExportFunctionCount = 20;
constexpr uint32_t kExportNameCount = 24;
constexpr uint32_t kExportFunctions = 28;
constexpr uint32_t kExportNames = 32;
constexpr uint32_t kExportOrdinals = 36;
constexpr uint32_t kExportFunctionTable = 40;
constexpr uint32_t kExportNameTable = 44;
constexpr uint32_t kExportOrdinalTable = 48;
constexpr uint32_t kExportLibraryName = 50;
constexpr uint32_t kExportFunctionName = 63;

// Header template.
constexpr uint32_t kNewHeader = 0x80;
constexpr uint32_t kOptionalHeader = kNewHeader + 24;
constexpr uint16_t kSectionCount = 3;
constexpr uint32_t kHeaderTimeStamp = 0x3356A566;
constexpr uint32_t kSizeOfHeaders = 0x400;
constexpr uint32_t kCheckSum = 0x0000E8E6;  // fixed; Windows checks it only for drivers
constexpr uint16_t kSubsystemNative = 1;
constexpr uint32_t kDirectoryCount = 16;
constexpr uint32_t kDirectoryExport = 0;
constexpr uint32_t kDirectoryResource = 2;
constexpr uint32_t kDirectoryRelocation = 5;
constexpr uint32_t kDataCharacteristics = 0x60000040;
constexpr uint32_t kReadOnlyDataCharacteristics = 0x42000040;
constexpr uint8_t kDosStub[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09, 0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
constexpr char kDosMessage[] = "This program cannot be run in DOS mode.\r\r\n$";

uint32_t RoundUp(uint32_t v, uint32_t alignment) { return DataSection::RoundUp(v, alignment); }

void Text(ByteWriter& w, size_t at, std::string_view text) {
  w.Bytes(at, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void WriteDosHeader(ByteWriter& w) {
  Text(w, 0, "MZ");
  const uint16_t fields[] = {0x0090, 0x0003, 0x0000, 0x0004, 0x0000, 0xFFFF, 0x0000, 0x00B8};
  for (size_t i = 0; i < std::size(fields); ++i) w.U16(2 + 2 * i, fields[i]);
  w.U16(0x18, 0x0040);
  w.U32(0x3C, kNewHeader);
  w.Bytes(0x40, kDosStub);
  Text(w, 0x40 + sizeof kDosStub, kDosMessage);
}

struct SectionHeader {
  const char* name;
  uint32_t virtualSize, rva, rawSize, rawOffset, characteristics;
};

void WriteSection(ByteWriter& w, size_t at, const SectionHeader& s) {
  Text(w, at, s.name);
  w.U32(at + 8, s.virtualSize);
  w.U32(at + 12, s.rva);
  w.U32(at + 16, s.rawSize);
  w.U32(at + 20, s.rawOffset);
  w.U32(at + 36, s.characteristics);
}

void WriteHeaders(ByteWriter& w, const ImageFormat& f, const ImagePlan& plan) {
  WriteDosHeader(w);
  Text(w, kNewHeader, std::string_view("PE\0\0", 4));
  w.U16(kNewHeader + 4, f.machine);
  w.U16(kNewHeader + 6, kSectionCount);
  w.U32(kNewHeader + 8, kHeaderTimeStamp);
  w.U16(kNewHeader + 20, f.optionalHeaderSize);
  w.U16(kNewHeader + 22, f.characteristics);

  const uint32_t o = kOptionalHeader;
  w.U16(o + 0, f.magic);
  w.U8(o + 2, f.linkerMajor);
  w.U8(o + 3, f.linkerMinor);
  w.U32(o + 8, plan.exportRva);  // SizeOfInitializedData
  w.U32(o + 20, DataSection::kStartRva);  // BaseOfCode
  if (f.pe32Plus()) {
    w.U64(o + 24, f.imageBase);
  } else {
    w.U32(o + 24, DataSection::kStartRva);  // BaseOfData
    w.U32(o + 28, f.imageBase);
  }
  w.U32(o + 32, kSectionAlignment);
  w.U32(o + 36, kFileAlignment);
  for (uint32_t i = 0; i < 3; ++i) {  // operating system, image and subsystem versions
    w.U16(o + 40 + 4 * i, f.systemVersion[0]);
    w.U16(o + 42 + 4 * i, f.systemVersion[1]);
  }
  w.U32(o + 56, plan.sizeOfImage);
  w.U32(o + 60, kSizeOfHeaders);
  w.U32(o + 64, kCheckSum);
  w.U16(o + 68, kSubsystemNative);
  const uint64_t memory[] = {f.stackReserve, f.stackCommit, f.heapReserve, f.heapCommit};
  const uint32_t width = f.pe32Plus() ? 8 : 4;
  for (uint32_t i = 0; i < 4; ++i) {
    if (f.pe32Plus())
      w.U64(o + 72 + width * i, memory[i]);
    else
      w.U32(o + 72 + width * i, static_cast<uint32_t>(memory[i]));
  }
  const uint32_t directories = o + 72 + 4 * width + 8;
  w.U32(directories - 4, kDirectoryCount);
  auto directory = [&](uint32_t index, uint32_t rva, uint32_t size) {
    w.U32(directories + 8 * index, rva);
    w.U32(directories + 8 * index + 4, size);
  };
  directory(kDirectoryExport, plan.exportRva, kExportDirectorySize);
  directory(kDirectoryResource, plan.resourceRva, kResourceDirectorySize);
  directory(kDirectoryRelocation, plan.relocRva, plan.relocSize);

  const uint32_t sections = o + f.optionalHeaderSize;
  WriteSection(w, sections, {".data", plan.dataVirtualSize, DataSection::kStartRva, plan.dataRawSize,
                             DataSection::kStartRva, kDataCharacteristics});
  WriteSection(w, sections + 40, {".rsrc", kResourceDirectorySize, plan.resourceRva, kResourceRawSize,
                                  plan.resourceOffset, kReadOnlyDataCharacteristics});
  WriteSection(w, sections + 80, {".reloc", plan.relocVirtualSize, plan.relocRva, plan.relocRawSize,
                                  plan.relocOffset, kReadOnlyDataCharacteristics});
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
    pages[rva & ~(kPageSize - 1)].push_back(static_cast<uint16_t>((relocationType << 12) | (rva & (kPageSize - 1))));
  ByteWriter w;
  size_t at = 0;
  for (auto& [page, entries] : pages) {
    if (entries.size() % 2 != 0) entries.push_back(0);
    const size_t size = kRelocBlockHeader + 2 * entries.size();
    w.U32(at, page);
    w.U32(at + 4, static_cast<uint32_t>(size));
    for (size_t i = 0; i < entries.size(); ++i) w.U16(at + kRelocBlockHeader + 2 * i, entries[i]);
    at += size;
  }
  return w.Take();
}

uint32_t AppendExportDirectory(DataSection& section, uint32_t entryRva, std::string_view libraryName) {
  const uint32_t x = section.AppendZeros(kExportDirectorySize);
  section.U32(x + kExportTimeDateStamp, kExportTimeStamp);
  section.U32(x + kExportName, x + kExportLibraryName);
  section.U32(x + kExportBase, 1);
  section.U32(x + kExportFunctionCount, 1);
  section.U32(x + kExportNameCount, 1);
  section.U32(x + kExportFunctions, x + kExportFunctionTable);
  section.U32(x + kExportNames, x + kExportNameTable);
  section.U32(x + kExportOrdinals, x + kExportOrdinalTable);
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
  w.U32(plan.resourceOffset + 4, kResourceTimeStamp);
  w.Bytes(plan.relocOffset, relocations);
  return w.Take();
}

}  // namespace tastora
