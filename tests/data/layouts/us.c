/* A plain US layout: two shift columns plus Ctrl, no dead keys, no ligatures. */
#include "kbd_layout.h"

static const VkToBit vkToBits[] = {{VK_SHIFT, KBDSHIFT}, {VK_CONTROL, KBDCTRL}, {VK_MENU, KBDALT}, {0, 0}};
static const Modifiers modifiers = {{.p = vkToBits}, 3, {0, 1, 2, SHFT_INVALID}};

static const VkToWchars2 rows2[] = {
    {'1', 0, {'1', '!'}}, {'2', 0, {'2', '@'}}, {'3', 0, {'3', '#'}}, {'0', 0, {'0', ')'}},
    {'A', CAPLOK, {'a', 'A'}}, {'Q', CAPLOK, {'q', 'Q'}}, {'Z', CAPLOK, {'z', 'Z'}},
    {VK_OEM_3, 0, {'`', '~'}}, {VK_OEM_7, 0, {'\'', '"'}}, {VK_OEM_2, 0, {'/', '?'}},
    {VK_TAB, 0, {'\t', '\t'}}, {VK_ADD, 0, {'+', '+'}}, {VK_DECIMAL, 0, {'.', '.'}},
    {VK_DIVIDE, 0, {'/', '/'}}, {VK_MULTIPLY, 0, {'*', '*'}}, {0, 0, {0, 0}}};
static const VkToWchars3 rows3[] = {
    {VK_OEM_4, 0, {'[', '{', 0x1B}}, {VK_OEM_102, 0, {'\\', '|', 0x1C}},
    {VK_BACK, 0, {0x08, 0x08, 0x7F}}, {VK_ESCAPE, 0, {0x1B, 0x1B, 0x1B}},
    {VK_RETURN, 0, {'\r', '\r', '\n'}}, {VK_SPACE, 0, {' ', ' ', ' '}},
    {VK_CANCEL, 0, {0x03, 0x03, 0x03}}, {0, 0, {0, 0, 0}}};
static const VkToWchars1 rows1[] = {
    {VK_NUMPAD0, 0, {'0'}}, {VK_NUMPAD0 + 7, 0, {'7'}}, {0, 0, {0}}};
static const VkToWcharTable charTables[] = {
    CHAR_TABLE(rows3, 3), CHAR_TABLE(rows2, 2), CHAR_TABLE(rows1, 1), {{.p = 0}, 0, 0}};

static const KeyName keyNames[] = {
    {0x01, {.p = u"Escape"}}, {0x0E, {.p = u"Backspace"}}, {0x39, {.p = u"Space Bar"}},
    {0x3A, {.p = u"Caps Lock"}}, {0, {.p = 0}}};
static const KeyName keyNamesExt[] = {
    {0x1C, {.p = u"Num Enter"}}, {0x1D, {.p = u"Right Ctrl"}}, {0x5B, {.p = u"Left Windows"}},
    {0, {.p = 0}}};

static const uint16_t scanToVk[] = PC_SCAN_TO_VK(VK_CAPITAL);
static const ScanVk e0ScanToVk[] = PC_E0_SCAN_TO_VK(VK_RETURN | KBDEXT);

static const KbdTables tables = {
    .charModifiers = {.p = &modifiers},
    .vkToWcharTable = {.p = charTables},
    .keyNames = {.p = keyNames},
    .keyNamesExt = {.p = keyNamesExt},
    .vscToVk = {.p = scanToVk},
    .maxVscToVk = sizeof scanToVk / sizeof scanToVk[0],
    .vscToVkE0 = {.p = e0ScanToVk},
    .type = 4,
};

EXPORT_TABLES(tables)
