#pragma once
// Offsets of the published keyboard-layout tables in the form in which every
// reference field is 8 bytes wide (the form 32-bit programs get on 64-bit
// Windows, and the native form of 64-bit libraries). Only the low 32 bits of
// a reference are read.

#include <cstdint>

namespace tastora::kbd {

// KBDTABLES
inline constexpr uint32_t kCharModifiers = 0x00;
inline constexpr uint32_t kVkToWcharTable = 0x08;
inline constexpr uint32_t kDeadKey = 0x10;
inline constexpr uint32_t kKeyNames = 0x18;
inline constexpr uint32_t kKeyNamesExt = 0x20;
inline constexpr uint32_t kKeyNamesDead = 0x28;
inline constexpr uint32_t kVscToVk = 0x30;
inline constexpr uint32_t kMaxVscToVk = 0x38;
inline constexpr uint32_t kVscToVkE0 = 0x40;
inline constexpr uint32_t kVscToVkE1 = 0x48;
inline constexpr uint32_t kLocaleFlags = 0x50;
// The ligature header: nLgMax, cbLgEntry, padding, pLigature.
inline constexpr uint32_t kLgMax = 0x54;
inline constexpr uint32_t kLgEntrySize = 0x55;
inline constexpr uint32_t kLigature = 0x58;

inline constexpr uint32_t kLocaleAltGr = 0x0001;
inline constexpr uint32_t kLocaleShiftLock = 0x0002;
inline constexpr uint32_t kLocaleLrmRlm = 0x0004;

// MODIFIERS: reference to the VK-to-bit list, then wMaxModBits, then ModNumber[].
inline constexpr uint32_t kModMaxModBits = 0x08;
inline constexpr uint32_t kModNumber = 0x0A;
inline constexpr uint8_t kShiftInvalid = 0x0F;

// VK_TO_WCHAR_TABLE list entry: rows reference, nModifications, cbSize.
inline constexpr uint32_t kCharTableEntrySize = 16;
inline constexpr uint32_t kCharTableRows = 0x00;
inline constexpr uint32_t kCharTableModifications = 0x08;
inline constexpr uint32_t kCharTableRowSize = 0x09;
// Row: VK, attributes, then one 16-bit character per modification column.
inline constexpr uint32_t kRowVk = 0;
inline constexpr uint32_t kRowAttributes = 1;
inline constexpr uint32_t kRowChars = 2;
inline constexpr uint8_t kAttrCapsLock = 0x01;
inline constexpr uint8_t kAttrSgCaps = 0x02;
inline constexpr uint8_t kAttrCapsLockAltGr = 0x04;
inline constexpr uint8_t kVkDeadRow = 0xFF;
inline constexpr uint16_t kCharNone = 0xF000;
inline constexpr uint16_t kCharDead = 0xF001;

// DEADKEY: dwBoth (base character, accent), wchComposed, uFlags.
inline constexpr uint32_t kDeadKeyEntrySize = 8;
inline constexpr uint32_t kDeadKeyBase = 0;
inline constexpr uint32_t kDeadKeyAccent = 2;
inline constexpr uint32_t kDeadKeyComposed = 4;

// VSC_LPWSTR: scan byte, then the name reference.
inline constexpr uint32_t kKeyNameEntrySize = 16;
inline constexpr uint32_t kKeyNameScan = 0;
inline constexpr uint32_t kKeyNameText = 8;

// VSC_VK: scan byte, then the 16-bit VK with its flags.
inline constexpr uint32_t kScanVkEntrySize = 4;
inline constexpr uint32_t kScanVkScan = 0;
inline constexpr uint32_t kScanVkVk = 2;

// LIGATUREn: VK (in a 16-bit word), modification column, then nLgMax characters.
inline constexpr uint32_t kLigatureVk = 0;
inline constexpr uint32_t kLigatureColumn = 2;
inline constexpr uint32_t kLigatureChars = 4;

}  // namespace tastora::kbd
