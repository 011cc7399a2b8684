#pragma once
// The published keyboard-layout tables of a layout library: offsets in bytes
// from the start of each structure, and the values their fields hold. The
// reader and the writer both work from this one description.
//
// The offsets below are those of the form in which every reference field is
// 8 bytes wide (the native form of 64-bit libraries, and the form 32-bit
// programs get on 64-bit Windows); only the low 32 bits of a reference are
// read. TableForm gives the fields that move in the 4-byte form.

#include <array>
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
// dwType and dwSubType follow pLigature in both forms.
inline constexpr uint32_t kTypeAndSubTypeSize = 8;

// The highest scan code the VSC-to-VK table covers (it has 128 entries).
inline constexpr uint8_t kMaxScanCode = 0x7F;

// fLocaleFlags
inline constexpr uint32_t kLocaleAltGr = 0x0001;      // KLLF_ALTGR
inline constexpr uint32_t kLocaleShiftLock = 0x0002;  // KLLF_SHIFTLOCK
inline constexpr uint32_t kLocaleLrmRlm = 0x0004;     // KLLF_LRM_RLM
inline constexpr uint32_t kLocaleVersion1 = 0x00010000;

// MODIFIERS: reference to the VK_TO_BIT list ({VK, modifier bit} pairs
// ended by {0, 0}), then wMaxModBits, then ModNumber[].
inline constexpr uint32_t kModVkToBit = 0x00;
inline constexpr uint32_t kModMaxModBits = 0x08;
inline constexpr uint32_t kModNumber = 0x0A;
inline constexpr uint8_t kShiftInvalid = 0x0F;

// VK_TO_WCHAR_TABLE list entry: rows reference, nModifications, cbSize.
inline constexpr uint32_t kCharTableEntrySize = 16;
inline constexpr uint32_t kCharTableRows = 0x00;
inline constexpr uint32_t kCharTableModifications = 0x08;
inline constexpr uint32_t kCharTableRowSize = 0x09;
// Row (VK_TO_WCHARSn): VK, attributes, then one 16-bit character per
// modification column.
inline constexpr uint32_t kRowVk = 0;
inline constexpr uint32_t kRowAttributes = 1;
inline constexpr uint32_t kRowChars = 2;
inline constexpr uint32_t RowSize(int width) { return kRowChars + 2 * static_cast<uint32_t>(width); }
inline constexpr uint8_t kAttrCapsLock = 0x01;       // CAPLOK
inline constexpr uint8_t kAttrSgCaps = 0x02;         // SGCAPS
inline constexpr uint8_t kAttrCapsLockAltGr = 0x04;  // CAPLOKALTGR
inline constexpr uint8_t kVkDeadRow = 0xFF;
inline constexpr uint16_t kCharNone = 0xF000;  // WCH_NONE
inline constexpr uint16_t kCharDead = 0xF001;  // WCH_DEAD

// DEADKEY: dwBoth (base character low, accent high), wchComposed, uFlags.
inline constexpr uint32_t kDeadKeyEntrySize = 8;
inline constexpr uint32_t kDeadKeyBase = 0;
inline constexpr uint32_t kDeadKeyAccent = 2;
inline constexpr uint32_t kDeadKeyComposed = 4;

// VSC_LPWSTR: scan byte (in a 16-bit word), then the name reference.
inline constexpr uint32_t kKeyNameEntrySize = 16;
inline constexpr uint32_t kKeyNameScan = 0;
inline constexpr uint32_t kKeyNameText = 8;

// The dead-key name list: one text reference per element, ended by a null
// one. Each text is the accent character followed by its name.
inline constexpr uint32_t kDeadKeyNameEntrySize = 8;

// VSC_VK: scan byte, then the 16-bit VK with its flags.
inline constexpr uint32_t kScanVkEntrySize = 4;
inline constexpr uint32_t kScanVkScan = 0;
inline constexpr uint32_t kScanVkVk = 2;

// LIGATUREn: VK (in a 16-bit word), modification number, then nLgMax characters.
inline constexpr uint32_t kLigatureVk = 0;
inline constexpr uint32_t kLigatureModification = 2;
inline constexpr uint32_t kLigatureChars = 4;

// Where the fields that hold references sit, in each of the two forms of the
// tables: every reference 8 bytes wide (64-bit libraries, and the 32-bit
// libraries 64-bit Windows gives 32-bit programs), or 4 bytes wide (the
// libraries of a 32-bit Windows). The other structures are alike in both.
struct TableForm {
  uint32_t referenceSize;
  // KBDTABLES
  uint32_t charModifiers, vkToWcharTable, deadKey, keyNames, keyNamesExt, keyNamesDead, vscToVk, maxVscToVk,
      vscToVkE0, vscToVkE1, localeFlags, lgMax, lgEntrySize, ligature;
  // MODIFIERS
  uint32_t modMaxModBits, modNumber;
  // VK_TO_WCHAR_TABLE
  uint32_t charTableEntrySize, charTableModifications, charTableRowSize;
  // VSC_LPWSTR
  uint32_t keyNameEntrySize, keyNameText;

  // The reference fields of KBDTABLES, in field order.
  constexpr std::array<uint32_t, 10> TablesReferences() const {
    return {charModifiers, vkToWcharTable, deadKey, keyNames, keyNamesExt, keyNamesDead, vscToVk,
            vscToVkE0, vscToVkE1, ligature};
  }
  constexpr uint32_t TablesSize() const { return ligature + referenceSize; }
};

inline constexpr TableForm kWideReferences{
    .referenceSize = 8,
    .charModifiers = kCharModifiers,
    .vkToWcharTable = kVkToWcharTable,
    .deadKey = kDeadKey,
    .keyNames = kKeyNames,
    .keyNamesExt = kKeyNamesExt,
    .keyNamesDead = kKeyNamesDead,
    .vscToVk = kVscToVk,
    .maxVscToVk = kMaxVscToVk,
    .vscToVkE0 = kVscToVkE0,
    .vscToVkE1 = kVscToVkE1,
    .localeFlags = kLocaleFlags,
    .lgMax = kLgMax,
    .lgEntrySize = kLgEntrySize,
    .ligature = kLigature,
    .modMaxModBits = kModMaxModBits,
    .modNumber = kModNumber,
    .charTableEntrySize = kCharTableEntrySize,
    .charTableModifications = kCharTableModifications,
    .charTableRowSize = kCharTableRowSize,
    .keyNameEntrySize = kKeyNameEntrySize,
    .keyNameText = kKeyNameText,
};
inline constexpr TableForm kNarrowReferences{
    .referenceSize = 4,
    .charModifiers = 0x00,
    .vkToWcharTable = 0x04,
    .deadKey = 0x08,
    .keyNames = 0x0C,
    .keyNamesExt = 0x10,
    .keyNamesDead = 0x14,
    .vscToVk = 0x18,
    .maxVscToVk = 0x1C,
    .vscToVkE0 = 0x20,
    .vscToVkE1 = 0x24,
    .localeFlags = 0x28,
    .lgMax = 0x2C,
    .lgEntrySize = 0x2D,
    .ligature = 0x30,
    .modMaxModBits = 4,
    .modNumber = 6,
    .charTableEntrySize = 8,
    .charTableModifications = 4,
    .charTableRowSize = 5,
    .keyNameEntrySize = 8,
    .keyNameText = 4,
};

}  // namespace tastora::kbd
