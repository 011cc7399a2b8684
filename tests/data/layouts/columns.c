/* Columns beyond the usual ones: Shift+Ctrl, Alt and Shift+Alt with their
   own columns and no AltGr at all, a literal 0 on Ctrl+2, ligatures on a
   keypad key and in the Shift+Alt column, an AZERTY-like VK_OEM_8 key and
   the two Brazilian ABNT keys. No key names. */
#include "kbd_layout.h"

#define NONE WCH_NONE

static const VkToBit vkToBits[] = {{VK_SHIFT, KBDSHIFT}, {VK_CONTROL, KBDCTRL}, {VK_MENU, KBDALT}, {0, 0}};
/* Columns: 0 plain, 1 Shift, 2 Ctrl, 3 Shift+Ctrl, 4 Alt, 5 Shift+Alt. */
static const Modifiers modifiers = {{.p = vkToBits}, 5, {0, 1, 2, 3, 4, 5, SHFT_INVALID, SHFT_INVALID}};

static const VkToWchars6 rows6[] = {
    {'2', 0, {'2', '@', 0, 0x200D, NONE, NONE}},
    {'6', 0, {'6', '^', NONE, 0x1E, NONE, NONE}},
    {'A', CAPLOK, {'a', 'A', 0x01, NONE, 0xE5, 0xC5}},
    {'O', CAPLOK, {'o', 'O', 0x0F, NONE, 0xF8, WCH_LGTR}},
    {VK_OEM_MINUS, 0, {'-', '_', 0x1F, 0x1F, 0x2013, 0x2014}},
    {VK_CANCEL, 0, {0x03, 0x03, 0x03, NONE, NONE, NONE}},
    {VK_BACK, 0, {0x08, 0x08, 0x7F, NONE, NONE, NONE}},
    {VK_ESCAPE, 0, {0x1B, 0x1B, 0x1B, NONE, NONE, NONE}},
    {VK_RETURN, 0, {'\r', '\r', '\n', NONE, NONE, NONE}},
    {VK_SPACE, 0, {' ', ' ', ' ', NONE, NONE, NONE}},
    {0, 0, {0, 0, 0, 0, 0, 0}}};
static const VkToWchars2 rows2[] = {
    {VK_OEM_8, 0, {'!', 0xA7}}, {VK_ABNT_C1, 0, {'/', '?'}}, {'Q', CAPLOK, {'q', 'Q'}},
    {VK_TAB, 0, {'\t', '\t'}}, {0, 0, {0, 0}}};
static const VkToWchars1 rows1[] = {
    {VK_NUMPAD0, 0, {'0'}}, {VK_NUMPAD0 + 7, 0, {WCH_LGTR}}, {VK_ABNT_C2, 0, {'.'}},
    {VK_DECIMAL, 0, {','}}, {0, 0, {0}}};
static const VkToWcharTable charTables[] = {
    CHAR_TABLE(rows6, 6), CHAR_TABLE(rows2, 2), CHAR_TABLE(rows1, 1), {{.p = 0}, 0, 0}};

static const Ligature4 ligatures[] = {
    {VK_NUMPAD0 + 7, 0, {'1', '/', '7', NONE}},
    {'O', 5, {'O', 'E', NONE, NONE}},
    {0, 0, {0, 0, 0, 0}}};

/* The 102-key table carried on to 0x7F: VK_OEM_8 where US has '/', and the
   ABNT keys at 0x73 and on the keypad at 0x7E. */
#pragma GCC diagnostic ignored "-Woverride-init"
static const uint16_t scanToVk[] = {
    PC_SCAN_CODES(VK_CAPITAL),
    /* 0x65 */ 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    /* 0x73 */ VK_ABNT_C1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    /* 0x7E */ VK_ABNT_C2, 0xFF,
    [0x35] = VK_OEM_8};
_Static_assert(sizeof scanToVk == 0x80 * sizeof scanToVk[0], "scan codes up to 0x7F");
static const ScanVk e0ScanToVk[] = PC_E0_SCAN_TO_VK(VK_RETURN | KBDEXT);

static const KbdTables tables = {
    .charModifiers = {.p = &modifiers},
    .vkToWcharTable = {.p = charTables},
    .vscToVk = {.p = scanToVk},
    .maxVscToVk = sizeof scanToVk / sizeof scanToVk[0],
    .vscToVkE0 = {.p = e0ScanToVk},
    .lgMax = 4,
    .lgEntrySize = sizeof(Ligature4),
    .ligature = {.p = ligatures},
    .type = 4,
};

EXPORT_TABLES(tables)
