/* Loads keyboard layout libraries with the Windows loader, calls their
   KbdLayerDescriptor and prints the tables it reaches, in the same text as
   the tests' own table walk. All libraries stay loaded until the end, so a
   second library with the same image base must be moved by the loader.

   Output, per library given on the command line:
     == PATH
     base ADDRESS (where the loader put it, in hexadecimal)
     ...tables...
     == end
   Lines starting with "!" report a fault. */
#define __USE_MINGW_ANSI_STDIO 1
#include <windows.h>

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

enum { kMaxTables = 16, kMaxRows = 4096, kMaxEntries = 10000, kMaxNameLength = 256 };

static uint64_t g_low, g_high, g_tables;

/* Reads only inside the loaded image; anything else is a fault, not a crash. */
static int Read(uint64_t address, void *out, size_t size, const char *what) {
  if (address == 0 || address < g_low || address + size > g_high || address + size < address) {
    printf("!tables: %s runs out of the image\n", what);
    return 0;
  }
  memcpy(out, (const void *)(uintptr_t)address, size);
  return 1;
}

static uint16_t U16(const uint8_t *p) { return (uint16_t)(p[0] | (p[1] << 8)); }
static uint32_t U32(const uint8_t *p) { return (uint32_t)U16(p) | ((uint32_t)U16(p + 2) << 16); }
static uint64_t U64(const uint8_t *p) { return (uint64_t)U32(p) | ((uint64_t)U32(p + 4) << 32); }

static const char *Ref(uint64_t value) {
  static char buffers[4][40];
  static int next;
  char *b = buffers[next++ % 4];
  if (value == 0)
    strcpy(b, "@null");
  else if (value >= g_tables)
    snprintf(b, 40, "@+%llx", (unsigned long long)(value - g_tables));
  else
    snprintf(b, 40, "@-%llx", (unsigned long long)(g_tables - value));
  return b;
}

static void Modifiers(uint64_t at) {
  uint8_t m[18], pair[2];
  unsigned i, maxBits;
  printf("modifiers %s\n", Ref(at));
  if (!Read(at, m, sizeof m, "MODIFIERS")) return;
  maxBits = U16(m + 8);
  printf(" vk-to-bit %s max %u numbers", Ref(U64(m)), maxBits);
  for (i = 0; i <= (maxBits < 7 ? maxBits : 7); ++i) printf(" %02x", m[10 + i]);
  printf("\n");
  for (i = 0; i < 16; ++i) {
    if (!Read(U64(m) + 2 * i, pair, 2, "VK_TO_BIT") || pair[0] == 0) break;
    printf(" %02x %02x\n", pair[0], pair[1]);
  }
}

static void CharacterTables(uint64_t at) {
  int t, i;
  unsigned c;
  printf("char tables %s\n", Ref(at));
  for (t = 0; t < kMaxTables; ++t) {
    uint8_t d[16], row[256];
    uint64_t rows;
    unsigned width, size;
    if (!Read(at + 16 * (uint64_t)t, d, 16, "VK_TO_WCHAR_TABLE")) return;
    rows = U64(d);
    if (rows == 0) return;
    width = d[8];
    size = d[9];
    printf("table %s modifications %u size %u\n", Ref(rows), width, size);
    if (size < 2 + 2 * width) {
      printf("!tables: a row size does not hold its characters\n");
      return;
    }
    for (i = 0; i < kMaxRows; ++i) {
      if (!Read(rows + (uint64_t)i * size, row, size, "VK_TO_WCHARS") || row[0] == 0) break;
      printf(" %02x %02x", row[0], row[1]);
      for (c = 0; c < width; ++c) printf(" %04x", U16(row + 2 + 2 * c));
      printf("\n");
    }
  }
}

static void DeadKeys(uint64_t at) {
  int i;
  uint8_t e[8];
  printf("dead keys %s\n", Ref(at));
  for (i = 0; at != 0 && i < kMaxEntries; ++i) {
    if (!Read(at + 8 * (uint64_t)i, e, 8, "DEADKEY") || U32(e) == 0) return;
    printf(" %08x %04x %04x\n", U32(e), U16(e + 4), U16(e + 6));
  }
}

static void Text(uint64_t at) {
  int i;
  uint8_t c[2];
  for (i = 0; i < kMaxNameLength; ++i) {
    if (!Read(at + 2 * (uint64_t)i, c, 2, "a key name") || U16(c) == 0) break;
    printf(" %04x", U16(c));
  }
}

static void KeyNames(uint64_t at) {
  int i;
  uint8_t e[16];
  for (i = 0; at != 0 && i < kMaxEntries; ++i) {
    if (!Read(at + 16 * (uint64_t)i, e, 16, "VSC_LPWSTR")) return;
    if (U16(e) == 0 && U64(e + 8) == 0) return;
    printf(" %04x %s", U16(e), Ref(U64(e + 8)));
    if (U64(e + 8) != 0) Text(U64(e + 8));
    printf("\n");
  }
}

static void DeadKeyNames(uint64_t at) {
  int i;
  uint8_t e[8];
  printf("dead key names %s\n", Ref(at));
  for (i = 0; at != 0 && i < kMaxEntries; ++i) {
    if (!Read(at + 8 * (uint64_t)i, e, 8, "dead key names") || U64(e) == 0) return;
    printf(" %s", Ref(U64(e)));
    Text(U64(e));
    printf("\n");
  }
}

static void ScanCodes(uint64_t at, unsigned count) {
  static uint8_t table[512];
  unsigned line, i;
  printf("scan codes %s max %u\n", Ref(at), count);
  if (!Read(at, table, 2 * count, "the scan-code table")) return;
  for (line = 0; line < count; line += 16) {
    for (i = line; i < count && i < line + 16; ++i) printf(" %04x", U16(table + 2 * i));
    printf("\n");
  }
}

static void ScanVks(uint64_t at) {
  int i;
  uint8_t e[4];
  for (i = 0; at != 0 && i < kMaxEntries; ++i) {
    if (!Read(at + 4 * (uint64_t)i, e, 4, "VSC_VK") || e[0] == 0) return;
    printf(" %02x %04x\n", e[0], U16(e + 2));
  }
}

static void Ligatures(uint64_t at, unsigned maxLength, unsigned entrySize) {
  int i;
  unsigned c;
  uint8_t e[256];
  printf("ligatures %s max %u size %u\n", Ref(at), maxLength, entrySize);
  if (at == 0) return;
  if (entrySize != 4 + 2 * maxLength) {
    printf("!tables: the ligature entry size does not fit the longest ligature\n");
    return;
  }
  for (i = 0; i < kMaxEntries; ++i) {
    if (!Read(at + (uint64_t)i * entrySize, e, entrySize, "LIGATURE") || U16(e) == 0) return;
    printf(" %04x %04x", U16(e), U16(e + 2));
    for (c = 0; c < maxLength; ++c) printf(" %04x", U16(e + 4 + 2 * c));
    printf("\n");
  }
}

static void Walk(uint64_t tables) {
  uint8_t k[0x68];
  g_tables = tables;
  if (!Read(tables, k, sizeof k, "KBDTABLES")) return;
  printf("flags %08x type %08x subtype %08x\n", U32(k + 0x50), U32(k + 0x60), U32(k + 0x64));
  Modifiers(U64(k + 0x00));
  CharacterTables(U64(k + 0x08));
  DeadKeys(U64(k + 0x10));
  printf("key names %s\n", Ref(U64(k + 0x18)));
  KeyNames(U64(k + 0x18));
  printf("ext key names %s\n", Ref(U64(k + 0x20)));
  KeyNames(U64(k + 0x20));
  DeadKeyNames(U64(k + 0x28));
  ScanCodes(U64(k + 0x30), k[0x38]);
  printf("e0 %s\n", Ref(U64(k + 0x40)));
  ScanVks(U64(k + 0x40));
  printf("e1 %s\n", Ref(U64(k + 0x48)));
  ScanVks(U64(k + 0x48));
  Ligatures(U64(k + 0x58), k[0x54], k[0x55]);
}

typedef void *(WINAPI *Descriptor)(void);

int main(int argc, char **argv) {
  int i;
  for (i = 1; i < argc; ++i) {
    HMODULE module = LoadLibraryA(argv[i]);
    const IMAGE_NT_HEADERS *nt;
    Descriptor descriptor;
    printf("== %s\n", argv[i]);
    if (!module) {
      printf("!LoadLibrary failed: %lu\n== end\n", (unsigned long)GetLastError());
      continue;
    }
    nt = (const IMAGE_NT_HEADERS *)((const uint8_t *)module + ((const IMAGE_DOS_HEADER *)module)->e_lfanew);
    g_low = (uint64_t)(uintptr_t)module;
    g_high = g_low + nt->OptionalHeader.SizeOfImage;
    printf("base %llx\n", (unsigned long long)g_low);
    descriptor = (Descriptor)(void (*)(void))GetProcAddress(module, "KbdLayerDescriptor");
    if (!descriptor) {
      printf("!no KbdLayerDescriptor\n== end\n");
      continue;
    }
    Walk((uint64_t)(uintptr_t)descriptor());
    printf("== end\n");
  }
  return 0;
}
