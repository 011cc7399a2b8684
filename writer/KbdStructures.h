#pragma once
// The published keyboard-layout structures as this program writes them: the
// form in which every reference field is 8 bytes wide, for both the 32-bit
// and the 64-bit library. Offsets in bytes from the start of a structure.

#include <cstdint>

namespace tastora::kbdw {

// KBDTABLES, extended by dwType and dwSubType so that nothing else is placed
// over those two fields.
inline constexpr uint32_t kTablesCharModifiers = 0x00;
inline constexpr uint32_t kTablesVkToWcharTable = 0x08;
inline constexpr uint32_t kTablesDeadKey = 0x10;
inline constexpr uint32_t kTablesKeyNames = 0x18;
inline constexpr uint32_t kTablesKeyNamesExt = 0x20;
inline constexpr uint32_t kTablesKeyNamesDead = 0x28;
inline constexpr uint32_t kTablesVscToVk = 0x30;
inline constexpr uint32_t kTablesMaxVscToVk = 0x38;
inline constexpr uint32_t kTablesVscToVkE0 = 0x40;
inline constexpr uint32_t kTablesVscToVkE1 = 0x48;
inline constexpr uint32_t kTablesLocaleFlags = 0x50;
inline constexpr uint32_t kTablesLgMax = 0x54;
inline constexpr uint32_t kTablesLgEntrySize = 0x55;
inline constexpr uint32_t kTablesLigature = 0x58;
inline constexpr uint32_t kTablesType = 0x60;
inline constexpr uint32_t kTablesSubType = 0x64;
inline constexpr uint32_t kTablesSize = 0x68;

// VK_TO_BIT pairs {VK, modifier bit}, ended by {0, 0}.
inline constexpr uint32_t kVkToBitSize = 8;
// MODIFIERS: reference to the VK_TO_BIT list, wMaxModBits, ModNumber[8].
inline constexpr uint32_t kModifiersVkToBit = 0;
inline constexpr uint32_t kModifiersMaxModBits = 8;
inline constexpr uint32_t kModifiersModNumber = 10;
inline constexpr uint32_t kModifiersSize = 20;

// VK_TO_WCHAR_TABLE: reference to the rows, nModifications, cbSize.
inline constexpr uint32_t kDescriptorRows = 0;
inline constexpr uint32_t kDescriptorModifications = 8;
inline constexpr uint32_t kDescriptorRowSize = 9;
inline constexpr uint32_t kDescriptorSize = 16;

// VK_TO_WCHARSn: VK, attributes, n characters.
inline constexpr uint32_t kRowVk = 0;
inline constexpr uint32_t kRowAttributes = 1;
inline constexpr uint32_t kRowChars = 2;
inline constexpr uint32_t RowSize(int width) { return 2 + 2 * static_cast<uint32_t>(width); }

// DEADKEY: dwBoth (base character low, accent high), wchComposed, uFlags.
inline constexpr uint32_t kDeadKeyBoth = 0;
inline constexpr uint32_t kDeadKeyComposed = 4;
inline constexpr uint32_t kDeadKeySize = 8;

// VSC_VK: scan code, VK with flags.
inline constexpr uint32_t kScanVkScan = 0;
inline constexpr uint32_t kScanVkVk = 2;
inline constexpr uint32_t kScanVkSize = 4;

// VSC_LPWSTR: scan code (16 bits as the name table holds it), reference to the text.
inline constexpr uint32_t kKeyNameScan = 0;
inline constexpr uint32_t kKeyNameText = 8;
inline constexpr uint32_t kKeyNameSize = 16;

// Dead-key names: a list of text references ended by a null one; each text
// is the accent character, then the name.
inline constexpr uint32_t kDeadKeyNameSize = 8;

// LIGATUREn: VK (with its flag byte), modification number, nLgMax characters.
inline constexpr uint32_t kLigatureVk = 0;
inline constexpr uint32_t kLigatureModification = 2;
inline constexpr uint32_t kLigatureChars = 4;

inline constexpr uint8_t kMaxVscToVk = 0x7F;

inline constexpr uint16_t kCharNone = 0xF000;  // WCH_NONE
inline constexpr uint16_t kCharDead = 0xF001;  // WCH_DEAD
inline constexpr uint8_t kVkDeadRow = 0xFF;

inline constexpr uint8_t kAttrCapsLock = 0x01;     // CAPLOK
inline constexpr uint8_t kAttrSgCaps = 0x02;       // SGCAPS
inline constexpr uint8_t kAttrCapsLockAltGr = 0x04;  // CAPLOKALTGR

inline constexpr uint32_t kLocaleAltGr = 0x0001;      // KLLF_ALTGR
inline constexpr uint32_t kLocaleShiftLock = 0x0002;  // KLLF_SHIFTLOCK
inline constexpr uint32_t kLocaleLrmRlm = 0x0004;     // KLLF_LRM_RLM
inline constexpr uint32_t kLocaleVersion1 = 0x00010000;

}  // namespace tastora::kbdw
