/* Keyboard layout tables for the test libraries, declared from the published
   layout of the structures, in the form in which every reference field is
   8 bytes wide. On i686 a reference is a pointer in the low half of a 64-bit
   field, so the linker still relocates it. With TASTORA_REF32 (i686 only) a
   reference is a plain 32-bit pointer, the form of native 32-bit Windows. */
#ifndef TASTORA_TEST_KBD_LAYOUT_H
#define TASTORA_TEST_KBD_LAYOUT_H

#include <stddef.h>
#include <stdint.h>

#ifdef TASTORA_REF32
_Static_assert(sizeof(void *) == 4, "4-byte references need 32-bit pointers");
#define REF(type) union { type *p; uint32_t q; }
#else
#define REF(type) union __attribute__((aligned(8))) { type *p; uint64_t q; }
#endif

typedef struct { uint8_t vk; uint8_t modBits; } VkToBit;
typedef struct {
  REF(const VkToBit) vkToBit;
  uint16_t maxModBits;
  uint8_t modNumber[8];
} Modifiers;

#define VK_TO_WCHARS(n) struct { uint8_t vk; uint8_t attributes; uint16_t wch[n]; }
typedef VK_TO_WCHARS(1) VkToWchars1;
typedef VK_TO_WCHARS(2) VkToWchars2;
typedef VK_TO_WCHARS(3) VkToWchars3;
typedef VK_TO_WCHARS(4) VkToWchars4;
typedef VK_TO_WCHARS(5) VkToWchars5;
typedef VK_TO_WCHARS(6) VkToWchars6;

typedef struct {
  REF(const void) rows;
  uint8_t modifications;
  uint8_t rowSize;
} VkToWcharTable;
#define CHAR_TABLE(rows, n) { {.p = rows}, n, sizeof(rows[0]) }

typedef struct { uint32_t both; uint16_t composed; uint16_t flags; } DeadKey;
#define DEADTRANS(base, accent, composed) { (uint32_t)(base) | ((uint32_t)(accent) << 16), composed, 0 }

typedef struct { uint8_t scan; REF(const uint16_t) name; } KeyName;

typedef struct { uint8_t scan; uint16_t vk; } ScanVk;

#define LIGATURE(n) struct { uint8_t vk; uint16_t column; uint16_t wch[n]; }
typedef LIGATURE(4) Ligature4;

/* One entry of the dead key name list: the accent, then its name. */
typedef REF(const uint16_t) DeadKeyName;

typedef struct {
  REF(const Modifiers) charModifiers;
  REF(const VkToWcharTable) vkToWcharTable;
  REF(const DeadKey) deadKey;
  REF(const KeyName) keyNames;
  REF(const KeyName) keyNamesExt;
  REF(const void) keyNamesDead;
  REF(const uint16_t) vscToVk;
  uint8_t maxVscToVk;
  REF(const ScanVk) vscToVkE0;
  REF(const ScanVk) vscToVkE1;
  uint32_t localeFlags;
  uint8_t lgMax;
  uint8_t lgEntrySize;
  REF(const void) ligature;
  uint32_t type;
  uint32_t subType;
} KbdTables;

#ifdef TASTORA_REF32
_Static_assert(offsetof(KbdTables, maxVscToVk) == 0x1C, "KBDTABLES layout");
_Static_assert(offsetof(KbdTables, localeFlags) == 0x28, "KBDTABLES layout");
_Static_assert(offsetof(KbdTables, ligature) == 0x30, "KBDTABLES layout");
_Static_assert(sizeof(VkToWcharTable) == 8 && sizeof(KeyName) == 8, "list entry layout");
_Static_assert(offsetof(Modifiers, modNumber) == 6, "MODIFIERS layout");
#else
_Static_assert(offsetof(KbdTables, maxVscToVk) == 0x38, "KBDTABLES layout");
_Static_assert(offsetof(KbdTables, localeFlags) == 0x50, "KBDTABLES layout");
_Static_assert(offsetof(KbdTables, ligature) == 0x58, "KBDTABLES layout");
_Static_assert(sizeof(VkToWcharTable) == 16 && sizeof(KeyName) == 16, "list entry layout");
_Static_assert(offsetof(Modifiers, modNumber) == 10, "MODIFIERS layout");
#endif
_Static_assert(sizeof(ScanVk) == 4 && sizeof(DeadKey) == 8 && sizeof(Ligature4) == 12, "entry layout");

#define KBDSHIFT 1
#define KBDCTRL 2
#define KBDALT 4
#define SHFT_INVALID 0x0F
#define CAPLOK 0x01
#define SGCAPS 0x02
#define CAPLOKALTGR 0x04
#define WCH_NONE 0xF000
#define WCH_DEAD 0xF001
#define WCH_LGTR 0xF002
#define KBDEXT 0x0100
#define KBDMULTIVK 0x0200
#define KBDSPECIAL 0x0400
#define KBDNUMPAD 0x0800

#define VK_CANCEL 0x03
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE
#define VK_OEM_8 0xDF
#define VK_ABNT_C1 0xC1
#define VK_ABNT_C2 0xC2
#define VK_OEM_102 0xE2

/* Scan code to VK of a 101/102-key keyboard; the Caps Lock position is a
   parameter so that a layout can give it another key's function. The bare
   list lets a layout continue it or override single entries. */
#define PC_SCAN_TO_VK(capsLockVk) { PC_SCAN_CODES(capsLockVk) }
#define PC_SCAN_CODES(capsLockVk)                                                            \
  0xFF, VK_ESCAPE, '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', VK_OEM_MINUS,           \
  VK_OEM_PLUS, VK_BACK, VK_TAB, 'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', VK_OEM_4,   \
  VK_OEM_6, VK_RETURN, VK_LCONTROL, 'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', VK_OEM_1,   \
  VK_OEM_7, VK_OEM_3, VK_LSHIFT, VK_OEM_5, 'Z', 'X', 'C', 'V', 'B', 'N', 'M', VK_OEM_COMMA,  \
  VK_OEM_PERIOD, VK_OEM_2, VK_RSHIFT | KBDEXT, VK_MULTIPLY | KBDMULTIVK, VK_LMENU, VK_SPACE, \
  capsLockVk, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79,                     \
  0x90 | KBDEXT | KBDMULTIVK, 0x91 | KBDMULTIVK,                                             \
  0x24 | KBDNUMPAD | KBDSPECIAL, 0x26 | KBDNUMPAD | KBDSPECIAL, 0x21 | KBDNUMPAD | KBDSPECIAL, \
  VK_SUBTRACT, 0x25 | KBDNUMPAD | KBDSPECIAL, 0x0C | KBDNUMPAD | KBDSPECIAL,                  \
  0x27 | KBDNUMPAD | KBDSPECIAL, VK_ADD, 0x23 | KBDNUMPAD | KBDSPECIAL,                       \
  0x28 | KBDNUMPAD | KBDSPECIAL, 0x22 | KBDNUMPAD | KBDSPECIAL, 0x2D | KBDNUMPAD | KBDSPECIAL, \
  0x2E | KBDNUMPAD | KBDSPECIAL, 0x2C, 0xFF, VK_OEM_102, 0x7A, 0x7B,                          \
  /* 0x59 */ 0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,                 \
  /* 0x64 */ 0x7C

/* The 0xE0 scan codes of the same keyboard, keypad Enter's VK a parameter. */
#define PC_E0_SCAN_TO_VK(keypadEnterVk) { PC_E0_SCAN_CODES(keypadEnterVk), {0, 0} }
#define PC_E0_SCAN_CODES(keypadEnterVk)                                                      \
  {0x10, 0xB1 | KBDEXT}, {0x19, 0xB0 | KBDEXT}, {0x1D, VK_RCONTROL | KBDEXT},                \
  {0x20, 0xAD | KBDEXT}, {0x21, 0xB7 | KBDEXT}, {0x22, 0xB3 | KBDEXT}, {0x24, 0xB2 | KBDEXT}, \
  {0x2E, 0xAE | KBDEXT}, {0x30, 0xAF | KBDEXT}, {0x32, 0xAC | KBDEXT},                       \
  {0x35, VK_DIVIDE | KBDEXT}, {0x37, 0x2C | KBDEXT}, {0x38, VK_RMENU | KBDEXT},              \
  {0x46, VK_CANCEL | KBDEXT}, {0x47, 0x24 | KBDEXT}, {0x48, 0x26 | KBDEXT},                  \
  {0x49, 0x21 | KBDEXT}, {0x4B, 0x25 | KBDEXT}, {0x4D, 0x27 | KBDEXT}, {0x4F, 0x23 | KBDEXT}, \
  {0x50, 0x28 | KBDEXT}, {0x51, 0x22 | KBDEXT}, {0x52, 0x2D | KBDEXT}, {0x53, 0x2E | KBDEXT}, \
  {0x5B, 0x5B | KBDEXT}, {0x5C, 0x5C | KBDEXT}, {0x5D, 0x5D | KBDEXT}, {0x5F, 0x5F | KBDEXT}, \
  {0x65, 0xAA | KBDEXT}, {0x66, 0xAB | KBDEXT}, {0x67, 0xA8 | KBDEXT}, {0x68, 0xA9 | KBDEXT}, \
  {0x69, 0xA7 | KBDEXT}, {0x6A, 0xA6 | KBDEXT}, {0x6B, 0xB6 | KBDEXT}, {0x6C, 0xB4 | KBDEXT}, \
  {0x6D, 0xB5 | KBDEXT}, {0x1C, keypadEnterVk}

/* The whole scan-code table of the layouts the usual tools compile (up to
   0x7F, and Power and Wake among the 0xE0 codes), Caps Lock a VK_CAPITAL.
   It overrides entries of the shorter one: a file using it ignores
   -Woverride-init. */
#define FULL_SCAN_TO_VK {                                                                    \
  PC_SCAN_CODES(VK_CAPITAL),                                                                 \
  /* 0x65 */ 0x7D, 0x7E, 0x7F, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0xED,               \
  /* 0x70 */ 0xFF, 0xE9, 0xFF, VK_ABNT_C1, 0xFF, 0xFF, 0x87, 0xFF, 0xFF, 0xFF, 0xFF,           \
  /* 0x7B */ 0xEB, VK_TAB, 0xFF, VK_ABNT_C2, 0xFF,                                            \
  [0x5A] = 0xEE, [0x5B] = 0xF1, [0x5C] = 0xEA, [0x5D] = 0xF9, [0x5E] = 0xF5, [0x5F] = 0xF3,   \
  [0x62] = 0xFB, [0x63] = 0x2F }
#define FULL_E0_SCAN_TO_VK {                                                                 \
  PC_E0_SCAN_CODES(VK_RETURN | KBDEXT), {0x5E, 0x5E | KBDEXT}, {0x63, 0xE4 | KBDEXT}, {0, 0} }

/* The rows a layout compiled from a ".klc" file always has beside its own
   keys: the control keys and the keypad operators (plain, Shift, Ctrl), and
   the keypad digits. */
#define KLC_CONTROL_ROWS                                                                      \
  {VK_TAB, 0, {'\t', '\t', WCH_NONE}}, {VK_BACK, 0, {0x08, 0x08, 0x7F}},                       \
  {VK_ESCAPE, 0, {0x1B, 0x1B, 0x1B}}, {VK_RETURN, 0, {'\r', '\r', '\n'}},                      \
  {VK_ADD, 0, {'+', '+', WCH_NONE}}, {VK_SUBTRACT, 0, {'-', '-', WCH_NONE}},                  \
  {VK_MULTIPLY, 0, {'*', '*', WCH_NONE}}, {VK_DIVIDE, 0, {'/', '/', WCH_NONE}}
#define KLC_NUMPAD_ROWS                                                                       \
  {VK_NUMPAD0, 0, {'0'}}, {VK_NUMPAD0 + 1, 0, {'1'}}, {VK_NUMPAD0 + 2, 0, {'2'}},              \
  {VK_NUMPAD0 + 3, 0, {'3'}}, {VK_NUMPAD0 + 4, 0, {'4'}}, {VK_NUMPAD0 + 5, 0, {'5'}},          \
  {VK_NUMPAD0 + 6, 0, {'6'}}, {VK_NUMPAD0 + 7, 0, {'7'}}, {VK_NUMPAD0 + 8, 0, {'8'}},          \
  {VK_NUMPAD0 + 9, 0, {'9'}}

/* The descriptor of such a layout: the whole scan-code table, and the
   layout's own `modifiers`, `charTables`, `deadKeys` and `ligatures` (of
   entries `ligatureLength` characters long). */
#define KLC_LAYOUT_TABLES(flags, ligatureLength)                                              \
  _Pragma("GCC diagnostic ignored \"-Woverride-init\"")                                        \
  static const uint16_t scanToVk[] = FULL_SCAN_TO_VK;                                        \
  static const ScanVk e0ScanToVk[] = FULL_E0_SCAN_TO_VK;                                     \
  static const KbdTables tables = {                                                          \
      .charModifiers = {.p = &modifiers},                                                    \
      .vkToWcharTable = {.p = charTables},                                                   \
      .deadKey = {.p = deadKeys},                                                            \
      .vscToVk = {.p = scanToVk},                                                            \
      .maxVscToVk = sizeof scanToVk / sizeof scanToVk[0],                                    \
      .vscToVkE0 = {.p = e0ScanToVk},                                                        \
      .localeFlags = flags,                                                                  \
      .lgMax = ligatureLength,                                                               \
      .lgEntrySize = sizeof ligatures[0],                                                    \
      .ligature = {.p = ligatures},                                                          \
      .type = 4,                                                                             \
  };                                                                                         \
  EXPORT_TABLES(tables)

#define EXPORT_TABLES(tables) \
  __declspec(dllexport) const KbdTables *KbdLayerDescriptor(void) { return &tables; }

#endif
