#pragma once
// Layout of the older family's .kbd files, shared by their reader and writer.
// Offsets inside the data are counted from the start of the data header.

#include <array>
#include <cstddef>
#include <cstdint>

#include "model/KeyboardLayout.h"

namespace tastora::kbdfile {

// File header.
inline constexpr uint16_t kSignature = 0x5344;  // "DS"
inline constexpr size_t kLanguage = 2;
inline constexpr size_t kCarriedBytes = 2;      // bytes 2..7 travel to the next file written
inline constexpr size_t kCarriedCount = 6;
inline constexpr size_t kDataHeaderPointer = 8;
inline constexpr size_t kDataSize = 12;
inline constexpr size_t kFileHeaderSize = 28;

// Data header: twenty 16-bit fields.
inline constexpr size_t kDataHeaderSize = 40;
inline constexpr size_t kFlags = 0x00;
inline constexpr size_t kModifierCount = 0x02;
inline constexpr size_t kLastState = 0x04;
inline constexpr size_t kDeadKeyCount = 0x06;
inline constexpr size_t kLigatureCount = 0x08;
inline constexpr size_t kModifiers = 0x0A;
inline constexpr size_t kStates = 0x0C;
inline constexpr size_t kCharOffsets = 0x0E;
inline constexpr size_t kVkOffsets = 0x10;
inline constexpr size_t kTableLengths = 0x12;
inline constexpr size_t kStateTables = 0x14;
inline constexpr size_t kScanCodes = 0x16;
inline constexpr size_t kScanVks = 0x18;
inline constexpr size_t kScanCount = 0x1A;
inline constexpr size_t kThirdArray = 0x1C;
inline constexpr size_t kDeadKeys = 0x1E;
inline constexpr size_t kCompositions = 0x20;
inline constexpr size_t kLigatures = 0x22;
inline constexpr size_t kCapsLock = 0x24;
inline constexpr size_t kKana = 0x26;

inline constexpr uint16_t kFlagAltGr = 0x08;
inline constexpr uint16_t kFlagCompositions = 0x20;

inline constexpr size_t kCapsBitmapSize = 32;
inline constexpr size_t kDeadKeyEntrySize = 4;
inline constexpr size_t kLigatureHeadSize = 5;

// The five shift states the format has tables for, in table order: Normal,
// Shift, Ctrl, AltGr, Shift+AltGr. Dead-key and ligature entries name a state
// by its code, which is its modifier weight.
struct StateSlot {
  uint8_t code;
  int column;
};
inline constexpr std::array<StateSlot, 5> kStateSlots{{
    {0, kColumnNormal},
    {2, kColumnShift},
    {4, kColumnCtrl},
    {5, kColumnAltGr},
    {7, kColumnShiftAltGr},
}};

}  // namespace tastora::kbdfile
