/* The keys of tests/data/klc/columns.klc: Shift+Ctrl and Ctrl columns and
   no AltGr, an SGCAPS key, a dead key on the plain column, a ligature on
   Shift+Ctrl; every other typing key types nothing. */
#include "kbd_layout.h"

#define NONE WCH_NONE

static const VkToBit vkToBits[] = {{VK_SHIFT, KBDSHIFT}, {VK_CONTROL, KBDCTRL}, {VK_MENU, KBDALT}, {0, 0}};
/* Columns: 0 plain, 1 Shift, 2 Ctrl, 3 Shift+Ctrl, 4 Ctrl+Alt (for Break alone). */
static const Modifiers modifiers = {{.p = vkToBits}, 6, {0, 1, 2, 3, SHFT_INVALID, SHFT_INVALID, 4}};

static const VkToWchars5 rows5[] = {
    {'Q', CAPLOK, {'q', 'Q', NONE, NONE, NONE}},
    {'W', CAPLOK, {'w', 'W', 0x17, 0x17, NONE}},
    {'E', SGCAPS, {'e', 'E', NONE, NONE, NONE}},
    {'E', 0, {0xE9, 0xC9, NONE, NONE, NONE}},
    {'A', CAPLOK, {'a', 'A', NONE, WCH_LGTR, NONE}},
    {'S', 0, {'s', 0x161, NONE, NONE, NONE}},
    {VK_OEM_1, 0, {WCH_DEAD, 0x10C, NONE, NONE, NONE}},
    {0xFF, 0, {0x10D, NONE, NONE, NONE, NONE}},
    {VK_OEM_7, 0, {'\'', ';', NONE, NONE, NONE}},
    {VK_SPACE, 0, {' ', ' ', ' ', NONE, NONE}},
    {VK_CANCEL, 0, {0x03, 0x03, NONE, NONE, 0x03}},
    {0, 0, {0, 0, 0, 0, 0}}};
static const VkToWchars3 rows3[] = {KLC_CONTROL_ROWS, {0, 0, {0, 0, 0}}};
static const VkToWchars1 rows1[] = {KLC_NUMPAD_ROWS, {0, 0, {0}}};
static const VkToWcharTable charTables[] = {
    CHAR_TABLE(rows5, 5), CHAR_TABLE(rows3, 3), CHAR_TABLE(rows1, 1), {{.p = 0}, 0, 0}};

static const DeadKey deadKeys[] = {
    DEADTRANS('c', 0x10D, 0x107), DEADTRANS('C', 0x10D, 0x106), DEADTRANS(' ', 0x10D, 0x10D), {0, 0, 0}};

static const Ligature4 ligatures[] = {{'A', 3, {'a', 'a', 'a', NONE}}, {0, 0, {0, 0, 0, 0}}};

KLC_LAYOUT_TABLES(0, 4)
