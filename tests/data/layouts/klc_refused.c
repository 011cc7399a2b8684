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
    {0, 0, {0, 0, 0, 0}}};
static const VkToWchars3 rows3[] = {KLC_CONTROL_ROWS, {0, 0, {0, 0, 0}}};
static const VkToWchars1 rows1[] = {KLC_NUMPAD_ROWS, {0, 0, {0}}};
static const VkToWcharTable charTables[] = {
    CHAR_TABLE(rows4, 4), CHAR_TABLE(rows3, 3), CHAR_TABLE(rows1, 1), {{.p = 0}, 0, 0}};

static const DeadKey deadKeys[] = {DEADTRANS('a', 0xB4, 0xE1), DEADTRANS('e', 0xB4, 0xE9), {0, 0, 0}};

static const Ligature6 ligatures[] = {{'E', 3, {'1', '2', '3', '4', '5', '6'}}, {0, 0, {0, 0, 0, 0, 0, 0}}};

KLC_LAYOUT_TABLES(0x0001, 6)
