/* A small layout whose key names are long, in other scripts, empty or hold
   control characters, with a list of dead key names beside them. */
#include "kbd_layout.h"

static const VkToBit vkToBits[] = {{VK_SHIFT, KBDSHIFT}, {VK_CONTROL, KBDCTRL}, {VK_MENU, KBDALT}, {0, 0}};
static const Modifiers modifiers = {{.p = vkToBits}, 3, {0, 1, 2, SHFT_INVALID}};

static const VkToWchars2 rows2[] = {
    {'A', CAPLOK, {'a', 'A'}}, {VK_OEM_7, 0, {WCH_DEAD, WCH_DEAD}}, {0xFF, 0, {0xB4, 0xA8}}, {0, 0, {0, 0}}};
static const VkToWcharTable charTables[] = {CHAR_TABLE(rows2, 2), {{.p = 0}, 0, 0}};

static const DeadKey deadKeys[] = {DEADTRANS('a', 0xB4, 0xE1), DEADTRANS('a', 0xA8, 0xE4), {0, 0, 0}};

/* 63 characters are kept, the rest is cut. */
#define LONG63 u"The quick brown fox jumps over the lazy dog and keeps on runnin"
#define LONG70 u"The quick brown fox jumps over the lazy dog and keeps on running away!"

static const KeyName keyNames[] = {
    {0x01, {.p = u"\u0415\u0441\u043A\u0435\u0439\u043F"}},   /* Cyrillic */
    {0x0E, {.p = u"\u03A0\u03AF\u03C3\u03C9"}},               /* Greek */
    {0x0F, {.p = u"\u062C\u062F\u0648\u0644"}},               /* Arabic */
    {0x1C, {.p = LONG63}},
    {0x1D, {.p = LONG70}},
    {0x2A, {.p = u"Shift\x85"}},                              /* a C1 control */
    {0x36, {.p = u"Right\x7FShift"}},                         /* DEL */
    {0x38, {.p = u""}},
    {0x39, {.p = u"Espace ins\u00E9cable\u00A0"}},
    {0, {.p = 0}}};
static const KeyName keyNamesExt[] = {
    {0x1C, {.p = u"\u0395\u03B9\u03C3\u03B1\u03B3\u03C9\u03B3\u03AE"}},
    {0x1D, {.p = u"Ctrl\t"}},
    {0x35, {.p = LONG70}},
    {0x53, {.p = u""}},
    {0, {.p = 0}}};

typedef REF(const uint16_t) NameText;
static const NameText deadKeyNames[] = {
    {.p = u"\u00B4ACUTE"},
    {.p = u"`GRAVE"},
    {.p = u"\u00A8\u0422\u0440\u0435\u043C\u0430"},
    {.p = u"^CIRCUMFLEX\x85"}, /* left out: a control character */
    {.p = u""},                /* left out: no accent */
    {.p = u"~" LONG70},
    {.p = 0}};

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
    .type = 4,
};

EXPORT_TABLES(tables)
