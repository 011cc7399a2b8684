/* A central European layout: unused modifier masks fall back to the plain
   column (so Shift+AltGr types the base letter), AltGr letters, a keypad
   decimal that is ',' in the first table and '.' in a later one, SGCAPS
   pairs whose Caps Lock row carries VK 0xFF, a dead key inside a Caps Lock
   set, long non-Latin key names and names for the dead keys. */
#include "kbd_layout.h"

#define NONE WCH_NONE
#define ACUTE 0x00B4
#define CARON 0x02C7
#define OGONEK 0x02DB

static const VkToBit vkToBits[] = {{VK_SHIFT, KBDSHIFT}, {VK_CONTROL, KBDCTRL}, {VK_MENU, KBDALT}, {0, 0}};
/* Columns: 0 plain, 1 Shift, 2 Ctrl, 3 AltGr; Alt and Shift+AltGr type the
   plain column. */
static const Modifiers modifiers = {{.p = vkToBits}, 7, {0, 1, 2, SHFT_INVALID, 0, SHFT_INVALID, 3, 0}};

static const VkToWchars4 rows4[] = {
    {'E', CAPLOK, {'e', 'E', NONE, 0x20AC}},
    {'S', CAPLOK | CAPLOKALTGR, {'s', 'S', NONE, 0x0111}},
    {'L', CAPLOK, {'l', 'L', NONE, 0x0142}},
    {'Q', 0, {'q', 'Q', NONE, '\\'}},
    {VK_OEM_4, 0, {0xFA, '/', 0x1B, 0xF7}},
    {VK_OEM_PLUS, 0, {WCH_DEAD, WCH_DEAD, NONE, NONE}},
    {0xFF, 0, {ACUTE, CARON, NONE, NONE}},
    {VK_OEM_1, SGCAPS, {0x016F, '"', NONE, '$'}},
    {0xFF, 0, {0x016E, '"', NONE, '$'}},
    {VK_OEM_6, SGCAPS, {')', '(', 0x1D, NONE}},
    {VK_OEM_6, 0, {WCH_DEAD, '(', 0x1D, NONE}},
    {0xFF, 0, {OGONEK, NONE, NONE, NONE}},
    {VK_DECIMAL, 0, {',', ',', NONE, NONE}},
    {VK_CANCEL, 0, {0x03, 0x03, 0x03, NONE}},
    {VK_BACK, 0, {0x08, 0x08, 0x7F, NONE}},
    {VK_ESCAPE, 0, {0x1B, 0x1B, 0x1B, NONE}},
    {VK_RETURN, 0, {'\r', '\r', '\n', NONE}},
    {VK_SPACE, 0, {' ', ' ', ' ', NONE}},
    {0, 0, {0, 0, 0, 0}}};
static const VkToWchars2 rows2[] = {
    {'1', 0, {'+', '1'}}, {'2', 0, {0x011B, '2'}}, {VK_TAB, 0, {'\t', '\t'}},
    {VK_ADD, 0, {'+', '+'}}, {0, 0, {0, 0}}};
static const VkToWchars1 rows1[] = {
    {VK_NUMPAD0, 0, {'0'}}, {VK_NUMPAD0 + 1, 0, {'1'}}, {VK_DECIMAL, 0, {'.'}}, {0, 0, {0}}};
static const VkToWcharTable charTables[] = {
    CHAR_TABLE(rows4, 4), CHAR_TABLE(rows2, 2), CHAR_TABLE(rows1, 1), {{.p = 0}, 0, 0}};

static const DeadKey deadKeys[] = {
    DEADTRANS('e', ACUTE, 0xE9),  DEADTRANS('a', ACUTE, 0xE1),  DEADTRANS(' ', ACUTE, ACUTE),
    DEADTRANS('e', CARON, 0x011B), DEADTRANS('s', CARON, 0x0161), DEADTRANS(' ', CARON, CARON),
    DEADTRANS('e', OGONEK, 0x0119), DEADTRANS('a', OGONEK, 0x0105), DEADTRANS(' ', OGONEK, OGONEK),
    {0, 0, 0}};

/* 30 and 63 characters. */
static const KeyName keyNames[] = {
    {0x01, {.p = u"Esc"}},
    {0x39, {.p = u"Клавиша пробела на клавиатуре!"}},
    {0x3A, {.p = u"Πλήκτρο κλειδώματος κεφαλαίων στο αριστερό μέρος πληκτρολογίου."}},
    {0, {.p = 0}}};
static const KeyName keyNamesExt[] = {{0x1C, {.p = u"Num Enter"}}, {0x53, {.p = u"Delete"}}, {0, {.p = 0}}};
static const DeadKeyName deadKeyNames[] = {
    {.p = u"\u00B4ACUTE"}, {.p = u"\u02C7CARON"}, {.p = u"\u02DBOGONEK"}, {.p = 0}};

static const uint16_t scanToVk[] = PC_SCAN_TO_VK(VK_CAPITAL);
static const ScanVk e0ScanToVk[] = PC_E0_SCAN_TO_VK(VK_RETURN | KBDEXT);

static const KbdTables tables = {
    .charModifiers = {.p = &modifiers},
    .vkToWcharTable = {.p = charTables},
    .deadKey = {.p = deadKeys},
    .keyNames = {.p = keyNames},
    .keyNamesExt = {.p = keyNamesExt},
    .keyNamesDead = {.p = deadKeyNames},
    .vscToVk = {.p = scanToVk},
    .maxVscToVk = sizeof scanToVk / sizeof scanToVk[0],
    .vscToVkE0 = {.p = e0ScanToVk},
    .localeFlags = 0x0001, /* AltGr */
    .type = 4,
};

EXPORT_TABLES(tables)
