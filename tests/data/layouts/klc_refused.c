/* The keys of tests/data/klc/refused.klc that a layout can carry: what the
   file gives in its Kana column, beyond 16 bits, with an unknown VK or a
   scan code without a key, and its chained dead key, are not here. */
#include "kbd_layout.h"

#define NONE WCH_NONE

typedef LIGATURE(6) Ligature6;

static const VkToBit vkToBits[] = {{VK_SHIFT, KBDSHIFT}, {VK_CONTROL, KBDCTRL}, {VK_MENU, KBDALT}, {0, 0}};
/* Columns: 0 plain, 1 Shift, 2 Ctrl, 3 AltGr. */
static const Modifiers modifiers = {{.p = vkToBits}, 6, {0, 1, 2, SHFT_INVALID, SHFT_INVALID, SHFT_INVALID, 3}};

static const VkToWchars4 rows4[] = {
    {'Q', CAPLOK, {'q', 'Q', NONE, '@'}},
    {'W', CAPLOK, {'w', 'W', NONE, NONE}},
    {'E', CAPLOK, {'e', 'E', NONE, WCH_LGTR}},
    {'R', CAPLOK, {'r', 'R', NONE, NONE}},
    {'A', CAPLOK, {'a', 'A', NONE, NONE}},
    {VK_OEM_PLUS, 0, {'=', '+', NONE, WCH_DEAD}},
    {0xFF, 0, {NONE, NONE, NONE, 0xB4}},
    {'S', CAPLOKALTGR, {'s', 'S', NONE, 0xDF}},
    {VK_SPACE, 0, {' ', ' ', ' ', NONE}},
    {VK_CANCEL, 0, {0x03, 0x03, NONE, 0x03}},
    {VK_TAB, 0, {'\t', '\t', NONE, NONE}}, {VK_BACK, 0, {0x08, 0x08, 0x7F, NONE}},
    {VK_ESCAPE, 0, {0x1B, 0x1B, 0x1B, NONE}}, {VK_RETURN, 0, {'\r', '\r', '\n', NONE}},
    {VK_ADD, 0, {'+', '+', NONE, NONE}}, {VK_SUBTRACT, 0, {'-', '-', NONE, NONE}},
    {VK_MULTIPLY, 0, {'*', '*', NONE, NONE}}, {VK_DIVIDE, 0, {'/', '/', NONE, NONE}},
    {0, 0, {0, 0, 0, 0}}};
static const VkToWchars1 rows1[] = {
    {VK_NUMPAD0, 0, {'0'}}, {VK_NUMPAD0 + 1, 0, {'1'}}, {VK_NUMPAD0 + 2, 0, {'2'}}, {VK_NUMPAD0 + 3, 0, {'3'}},
    {VK_NUMPAD0 + 4, 0, {'4'}}, {VK_NUMPAD0 + 5, 0, {'5'}}, {VK_NUMPAD0 + 6, 0, {'6'}},
    {VK_NUMPAD0 + 7, 0, {'7'}}, {VK_NUMPAD0 + 8, 0, {'8'}}, {VK_NUMPAD0 + 9, 0, {'9'}}, {0, 0, {0}}};
static const VkToWcharTable charTables[] = {
    CHAR_TABLE(rows4, 4), CHAR_TABLE(rows1, 1), {{.p = 0}, 0, 0}};

static const DeadKey deadKeys[] = {DEADTRANS('a', 0xB4, 0xE1), DEADTRANS('e', 0xB4, 0xE9), {0, 0, 0}};

static const Ligature6 ligatures[] = {{'E', 3, {'1', '2', '3', '4', '5', '6'}}, {0, 0, {0, 0, 0, 0, 0, 0}}};

#pragma GCC diagnostic ignored "-Woverride-init"
static const uint16_t scanToVk[] = FULL_SCAN_TO_VK;
static const ScanVk e0ScanToVk[] = FULL_E0_SCAN_TO_VK;

static const KbdTables tables = {
    .charModifiers = {.p = &modifiers},
    .vkToWcharTable = {.p = charTables},
    .deadKey = {.p = deadKeys},
    .vscToVk = {.p = scanToVk},
    .maxVscToVk = sizeof scanToVk / sizeof scanToVk[0],
    .vscToVkE0 = {.p = e0ScanToVk},
    .localeFlags = 0x0001,
    .lgMax = 6,
    .lgEntrySize = sizeof(Ligature6),
    .ligature = {.p = ligatures},
    .type = 4,
};

EXPORT_TABLES(tables)
