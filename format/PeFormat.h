#pragma once
// The PE image format as far as layout libraries use it: field offsets in
// bytes from the start of each header or table, and the values they hold.
// The writer lays images out with these and the offline loader maps them.

#include <cstdint>

namespace tastora::pe {

// DOS header: "MZ", then the file offset of the PE signature at 0x3C.
inline constexpr uint16_t kDosMagic = 0x5A4D;  // "MZ"
inline constexpr uint32_t kDosRelocationTable = 0x18;
inline constexpr uint32_t kDosNewHeader = 0x3C;
inline constexpr uint32_t kDosHeaderSize = 0x40;  // the stub program follows

// "PE\0\0", then the file header.
inline constexpr uint32_t kSignature = 0x00004550;
inline constexpr uint32_t kSignatureSize = 4;

// File header, from its start (just after the signature).
inline constexpr uint32_t kFileMachine = 0;
inline constexpr uint32_t kFileSectionCount = 2;
inline constexpr uint32_t kFileTimeDateStamp = 4;
inline constexpr uint32_t kFileOptionalHeaderSize = 16;
inline constexpr uint32_t kFileCharacteristics = 18;
inline constexpr uint32_t kFileHeaderSize = 20;

inline constexpr uint16_t kMachineX86 = 0x014C;
inline constexpr uint16_t kMachineX64 = 0x8664;
inline constexpr uint16_t kMachineArm64 = 0xAA64;

// File header characteristics.
inline constexpr uint16_t kFileExecutableImage = 0x0002;
inline constexpr uint16_t kFileLineNumbersStripped = 0x0004;
inline constexpr uint16_t kFileLocalSymbolsStripped = 0x0008;
inline constexpr uint16_t kFileLargeAddressAware = 0x0020;
inline constexpr uint16_t kFile32BitMachine = 0x0100;
inline constexpr uint16_t kFileDll = 0x2000;

// Optional header, from its start. Both forms agree up to the image base;
// PE32 has BaseOfData where PE32+ has the upper half of its 64-bit base.
inline constexpr uint16_t kMagicPe32 = 0x010B;
inline constexpr uint16_t kMagicPe32Plus = 0x020B;
inline constexpr uint16_t kOptionalHeaderSize32 = 0x00E0;
inline constexpr uint16_t kOptionalHeaderSize64 = 0x00F0;
inline constexpr uint32_t kOptMagic = 0;
inline constexpr uint32_t kOptLinkerMajor = 2;
inline constexpr uint32_t kOptLinkerMinor = 3;
inline constexpr uint32_t kOptSizeOfInitializedData = 8;
inline constexpr uint32_t kOptBaseOfCode = 20;
inline constexpr uint32_t kOptBaseOfData32 = 24;
inline constexpr uint32_t kOptImageBase32 = 28;
inline constexpr uint32_t kOptImageBase64 = 24;
inline constexpr uint32_t kOptSectionAlignment = 32;
inline constexpr uint32_t kOptFileAlignment = 36;
// Three version pairs, each major then minor (16 bits each).
inline constexpr uint32_t kOptOperatingSystemVersion = 40;
inline constexpr uint32_t kOptImageVersion = 44;
inline constexpr uint32_t kOptSubsystemVersion = 48;
inline constexpr uint32_t kOptSizeOfImage = 56;
inline constexpr uint32_t kOptSizeOfHeaders = 60;
inline constexpr uint32_t kOptCheckSum = 64;
inline constexpr uint32_t kOptSubsystem = 68;
inline constexpr uint32_t kOptDllCharacteristics = 70;
// Stack reserve and commit, heap reserve and commit: 4 bytes each in PE32,
// 8 in PE32+; then LoaderFlags and the directory count, then the directories.
inline constexpr uint32_t kOptMemorySizes = 72;
inline constexpr uint32_t kOptDirectories32 = 96;
inline constexpr uint32_t kOptDirectories64 = 112;
inline constexpr uint32_t kOptDirectoryCountBefore = 4;  // the count sits just before the directories

inline constexpr uint16_t kSubsystemNative = 1;

// DLL characteristics.
inline constexpr uint16_t kDllHighEntropyVa = 0x0020;
inline constexpr uint16_t kDllDynamicBase = 0x0040;
inline constexpr uint16_t kDllNxCompatible = 0x0100;

// Data directories: an RVA and a size each.
inline constexpr uint32_t kDirectoryEntrySize = 8;
inline constexpr uint32_t kDirectoryRva = 0;
inline constexpr uint32_t kDirectorySize = 4;
inline constexpr uint32_t kDirectoryCount = 16;
inline constexpr uint32_t kDirectoryExport = 0;
inline constexpr uint32_t kDirectoryResource = 2;
inline constexpr uint32_t kDirectoryRelocation = 5;

// Section header.
inline constexpr uint32_t kSectionHeaderSize = 40;
inline constexpr uint32_t kSectionName = 0;
inline constexpr uint32_t kSectionVirtualSize = 8;
inline constexpr uint32_t kSectionRva = 12;
inline constexpr uint32_t kSectionRawSize = 16;
inline constexpr uint32_t kSectionRawOffset = 20;
inline constexpr uint32_t kSectionCharacteristics = 36;

inline constexpr uint32_t kSectionCode = 0x00000020;
inline constexpr uint32_t kSectionInitializedData = 0x00000040;
inline constexpr uint32_t kSectionDiscardable = 0x02000000;
inline constexpr uint32_t kSectionExecute = 0x20000000;
inline constexpr uint32_t kSectionRead = 0x40000000;

// Export directory.
inline constexpr uint32_t kExportTimeDateStamp = 4;
inline constexpr uint32_t kExportName = 12;
inline constexpr uint32_t kExportBase = 16;
inline constexpr uint32_t kExportFunctionCount = 20;
inline constexpr uint32_t kExportNameCount = 24;
inline constexpr uint32_t kExportFunctions = 28;
inline constexpr uint32_t kExportNames = 32;
inline constexpr uint32_t kExportOrdinals = 36;
inline constexpr uint32_t kExportDirectorySize = 40;

// Resource directory (the root table).
inline constexpr uint32_t kResourceTimeDateStamp = 4;

// Base relocations: blocks of a page RVA and a block size, then 16-bit
// entries, each a type in the top 4 bits and an offset into the page.
inline constexpr uint32_t kRelocBlockPage = 0;
inline constexpr uint32_t kRelocBlockSize = 4;
inline constexpr uint32_t kRelocBlockHeaderSize = 8;
inline constexpr uint32_t kRelocPageSize = 0x1000;
inline constexpr uint32_t kRelocTypeShift = 12;
inline constexpr uint16_t kRelocOffsetMask = 0x0FFF;
inline constexpr uint16_t kRelocAbsolute = 0;
inline constexpr uint16_t kRelocHighLow = 3;
inline constexpr uint16_t kRelocDir64 = 10;

}  // namespace tastora::pe
