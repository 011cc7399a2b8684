/* A layout with AltGr columns, a dead key, an SGCAPS pair, ligatures, Caps
   Lock turned into Left Ctrl, keypad Enter with a VK of its own, and key
   names the reader has to reject or fall back from. */
#include "kbd_layout.h"

#define NONE WCH_NONE
#define KEYPAD_ENTER_VK 0x0E

static const VkToBit vkToBits[] = {{VK_SHIFT, KBDSHIFT}, {VK_CONTROL, KBDCTRL}, {VK_MENU, KBDALT}, {0, 0}};
/* Columns: 0 plain, 1 Shift, 2 Ctrl, 3 AltGr, 4 Shift+AltGr. */
static const Modifiers modifiers = {{.p = vkToBits}, 7, {0, 1, 2, SHFT_INVALID, SHFT_INVALID, SHFT_INVALID, 3, 4}};

static const VkToWchars5 rows5[] = {
    {'A', CAPLOK | CAPLOKALTGR, {'a', 'A', NONE, 0xE6, 0xC6}},
    {'Q', 0, {'q', 'Q', NONE, '@', NONE}},
    {VK_OEM_7, 0, {'\'', WCH_DEAD, NONE, NONE, NONE}},
    {0xFF, 0, {NONE, 0xA8, NONE, NONE, NONE}},
    {VK_OEM_1, SGCAPS, {0xFC, 0xE8, NONE, NONE, NONE}},
    {VK_OEM_1, 0, {0xDC, 0xC8, NONE, NONE, NONE}},
    {VK_CAPITAL, 0, {'x', 'X', NONE, NONE, NONE}},
    {VK_SPACE, 0, {' ', ' ', ' ', 0xA0, NONE}},
    {KEYPAD_ENTER_VK, 0, {'=', NONE, NONE, NONE, NONE}},
    {VK_RETURN, 0, {'\r', '\r', '\n', NONE, NONE}},
    {0, 0, {0, 0, 0, 0, 0}}};
static const VkToWchars2 rows2[] = {{'1', 0, {'1', '!'}}, {0, 0, {0, 0}}};
static const VkToWcharTable charTables[] = {CHAR_TABLE(rows5, 5), CHAR_TABLE(rows2, 2), {{.p = 0}, 0, 0}};

static const DeadKey deadKeys[] = {
    DEADTRANS('a', 0xA8, 0xE4), DEADTRANS('o', 0xA8, 0xF6), DEADTRANS(' ', 0xA8, 0xA8), {0, 0, 0}};

static const Ligature4 ligatures[] = {
    {'Q', 3, {'f', 'f', 'i', NONE}},
    {'A', 1, {'x', 'y', NONE, NONE}},
    {'A', 0, {'1', '2', '3', '4'}},
    {VK_CAPITAL, 0, {'c', 'a', 'p', 's'}}, /* Caps Lock is Ctrl now: no key */
    {'Q', 5, {'n', 'o', NONE, NONE}},      /* column without a shift state */
    {0, 0, {0, 0, 0, 0}}};

static const KeyName keyNames[] = {
    {0x00, {.p = u"Zero"}},
    {0x01, {.p = u"Esc"}},
    {0x0E, {.p = u"ABCDEFGHIJKLMNOPQRST"}},
    {0x0F, {.p = u"ABCDEFGHIJKLMNOPQRSTU"}},
    {0x1C, {.p = u"En\tter"}},
    {0x3A, {.q = 1234}},
    {0x39, {.p = u"Space\u0201"}},
    {0x70, {.p = u"Kana"}},
    {0, {.p = 0}}};
static const KeyName keyNamesExt[] = {
    {0x1C, {.q = 1234}},
    {0x1D, {.p = u" "}},
    {0x35, {.p = u"Keypad Slash Key Name Long"}},
    {0x53, {.p = u"Del"}},
    {0, {.p = 0}}};

static const uint16_t scanToVk[] = PC_SCAN_TO_VK(VK_LCONTROL);
static const ScanVk e0ScanToVk[] = PC_E0_SCAN_TO_VK(KEYPAD_ENTER_VK);

static const KbdTables tables = {
    .charModifiers = {.p = &modifiers},
    .vkToWcharTable = {.p = charTables},
    .deadKey = {.p = deadKeys},
    .keyNames = {.p = keyNames},
    .keyNamesExt = {.p = keyNamesExt},
    .vscToVk = {.p = scanToVk},
    .maxVscToVk = sizeof scanToVk / sizeof scanToVk[0],
    .vscToVkE0 = {.p = e0ScanToVk},
    .localeFlags = 0x0005, /* AltGr, left-to-right and right-to-left marks */
    .lgMax = 4,
    .lgEntrySize = sizeof(Ligature4),
    .ligature = {.p = ligatures},
    .type = 4,
};

EXPORT_TABLES(tables)
