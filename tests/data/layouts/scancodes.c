/* 501 scan codes that no key of a 102-key keyboard has: 41 plain ones and
   460 with the 0xE0 prefix. Every other table is absent. */
#include "kbd_layout.h"

#define A4(v) v, v, v, v
#define A16(v) A4(v), A4(v), A4(v), A4(v)
static const uint16_t scanToVk[128] = {A16('A'), A16('A'), A16('A'), A16('A'),
                                       A16('A'), A16('A'), A16('A'), A16('A')};

#define E(i) {0x70 + (i) % 16, (0x80 + (i) % 16) | KBDEXT}
#define E10(i) E(i), E(i + 1), E(i + 2), E(i + 3), E(i + 4), E(i + 5), E(i + 6), E(i + 7), E(i + 8), E(i + 9)
#define E100(i) E10(i), E10(i + 10), E10(i + 20), E10(i + 30), E10(i + 40), \
                E10(i + 50), E10(i + 60), E10(i + 70), E10(i + 80), E10(i + 90)
static const ScanVk e0ScanToVk[] = {E100(0), E100(100), E100(200), E100(300),
                                    E10(400), E10(410), E10(420), E10(430), E10(440), E10(450), {0, 0}};

static const KbdTables tables = {
    .vscToVk = {.p = scanToVk},
    .maxVscToVk = 128,
    .vscToVkE0 = {.p = e0ScanToVk},
    .localeFlags = 0x0002,
};

EXPORT_TABLES(tables)
