/* The keys of tests/data/klc/basic.klc: AltGr columns, Caps Lock on the
   AltGr columns of A, an SGCAPS key, two dead keys, two ligatures, and the
   keypad and control keys every layout of that form gets. */
#include "kbd_layout.h"

#define NONE WCH_NONE
#define LETTER(vk, lower) {vk, CAPLOK, {lower, vk, NONE, NONE, NONE}}

static const VkToBit vkToBits[] = {{VK_SHIFT, KBDSHIFT}, {VK_CONTROL, KBDCTRL}, {VK_MENU, KBDALT}, {0, 0}};
/* Columns: 0 plain, 1 Shift, 2 Ctrl, 3 AltGr, 4 Shift+AltGr. */
static const Modifiers modifiers = {{.p = vkToBits}, 7, {0, 1, 2, SHFT_INVALID, SHFT_INVALID, SHFT_INVALID, 3, 4}};

static const VkToWchars5 rows5[] = {
    {VK_OEM_3, 0, {'`', '~', NONE, NONE, NONE}},
    {'1', 0, {'1', '!', NONE, 0xA1, NONE}},
    {'2', 0, {'2', '@', NONE, 0xB2, NONE}},
    {'3', 0, {'3', '#', NONE, 0xB3, NONE}},
    {'4', 0, {'4', '$', NONE, 0x20AC, NONE}},
    {'5', 0, {'5', '%', NONE, NONE, NONE}},
    {'6', 0, {'6', '^', NONE, WCH_DEAD, NONE}},
    {0xFF, 0, {NONE, NONE, NONE, '^', NONE}},
    {'7', 0, {'7', '&', NONE, NONE, NONE}},
    {'8', 0, {'8', '*', NONE, NONE, NONE}},
    {'9', 0, {'9', '(', NONE, NONE, NONE}},
    {'0', 0, {'0', ')', NONE, NONE, NONE}},
    {VK_OEM_MINUS, 0, {'-', '_', 0x1F, 0x2013, 0x2014}},
    {VK_OEM_PLUS, 0, {'=', '+', NONE, NONE, NONE}},
    {VK_OEM_5, 0, {'\\', '|', 0x1C, NONE, NONE}},
    {'Q', CAPLOK, {'q', 'Q', NONE, '@', WCH_LGTR}},
    {'W', CAPLOK, {'w', 'W', NONE, WCH_LGTR, NONE}},
    {'E', CAPLOK, {'e', 'E', NONE, 0x20AC, NONE}},
    LETTER('R', 'r'), LETTER('T', 't'), LETTER('Y', 'y'), LETTER('U', 'u'), LETTER('I', 'i'),
    {'O', CAPLOK, {'o', 'O', NONE, 0xF8, 0xD8}},
    LETTER('P', 'p'),
    {VK_OEM_4, 0, {'[', '{', 0x1B, NONE, NONE}},
    {VK_OEM_6, 0, {']', '}', 0x1D, NONE, NONE}},
    {'A', CAPLOK | CAPLOKALTGR, {'a', 'A', NONE, 0xE6, 0xC6}},
    {'S', CAPLOK, {'s', 'S', NONE, 0xDF, NONE}},
    LETTER('D', 'd'), LETTER('F', 'f'), LETTER('G', 'g'), LETTER('H', 'h'), LETTER('J', 'j'),
    LETTER('K', 'k'), LETTER('L', 'l'),
    {VK_OEM_1, SGCAPS, {0xFC, 0xDC, NONE, NONE, NONE}},
    {VK_OEM_1, 0, {0xE8, 0xC8, NONE, NONE, NONE}},
    {VK_OEM_7, 0, {'\'', WCH_DEAD, NONE, NONE, NONE}},
    {0xFF, 0, {NONE, 0xA8, NONE, NONE, NONE}},
    LETTER('Z', 'z'), LETTER('X', 'x'),
    {'C', CAPLOK, {'c', 'C', NONE, 0xA9, NONE}},
    LETTER('V', 'v'), LETTER('B', 'b'), LETTER('N', 'n'),
    {'M', CAPLOK, {'m', 'M', NONE, 0xB5, NONE}},
    {VK_OEM_COMMA, 0, {',', '<', NONE, NONE, NONE}},
    {VK_OEM_PERIOD, 0, {'.', '>', NONE, NONE, NONE}},
    {VK_OEM_2, 0, {'/', '?', NONE, 0xBF, NONE}},
    {VK_OEM_102, 0, {'\\', '|', 0x1C, NONE, NONE}},
    {VK_DECIMAL, 0, {'.', '.', NONE, NONE, NONE}},
    {VK_SPACE, 0, {' ', ' ', ' ', 0xA0, NONE}},
    {VK_CANCEL, 0, {0x03, 0x03, NONE, 0x03, NONE}},
    {0, 0, {0, 0, 0, 0, 0}}};
static const VkToWchars3 rows3[] = {KLC_CONTROL_ROWS, {0, 0, {0, 0, 0}}};
static const VkToWchars1 rows1[] = {KLC_NUMPAD_ROWS, {0, 0, {0}}};
static const VkToWcharTable charTables[] = {
    CHAR_TABLE(rows5, 5), CHAR_TABLE(rows3, 3), CHAR_TABLE(rows1, 1), {{.p = 0}, 0, 0}};

static const DeadKey deadKeys[] = {
    DEADTRANS('a', '^', 0xE2), DEADTRANS('e', '^', 0xEA), DEADTRANS(' ', '^', '^'),
    DEADTRANS('a', 0xA8, 0xE4), DEADTRANS('o', 0xA8, 0xF6), DEADTRANS(' ', 0xA8, 0xA8), {0, 0, 0}};

static const Ligature4 ligatures[] = {
    {'Q', 4, {'f', 'f', 'i', NONE}}, {'W', 3, {'1', '/', '2', NONE}}, {0, 0, {0, 0, 0, 0}}};

KLC_LAYOUT_TABLES(0x0001, 4)
