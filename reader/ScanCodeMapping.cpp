// Scan codes to VKs: the keys of the key table get the library's VKs (or the
// key function the library gives them), and the scan codes the key table does
// not know are kept as unresolved.

#include <array>

#include "format/KbdTables.h"
#include "model/KeyFunctions.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "platform/Platform.h"
#include "reader/LayoutWalk.h"

namespace tastora {
namespace {

constexpr uint16_t kNoVk = 0x00FF;
constexpr int kPlainScanCodes = 128;
// As many entries as a 64 KB image could hold; only a table without its
// terminator comes near it.
constexpr size_t kMaxE0Entries = 65536 / kbd::kScanVkEntrySize;

// Entry `scan` of the plain table; entries at or past its end count as no VK.
std::optional<uint16_t> PlainVk(LayoutWalk& walk, int scan) {
  if (walk.tables.pusVSCtoVK.IsNull() || scan >= walk.tables.bMaxVSCtoVK) return kNoVk;
  return walk.memory.U16(walk.tables.pusVSCtoVK + uint64_t(scan) * 2);
}

bool LoadE0Table(LayoutWalk& walk) {
  if (walk.e0) return true;
  std::vector<ScanVk> entries;
  const Location table = walk.tables.pVSCtoVK_E0;
  for (size_t i = 0; !table.IsNull() && i < kMaxE0Entries; ++i) {
    const Location at = table + i * kbd::kScanVkEntrySize;
    const auto scan = walk.memory.U8(at + kbd::kScanVkScan);
    if (!scan) return false;
    if (*scan == 0) break;
    const auto vk = walk.memory.U16(at + kbd::kScanVkVk);
    if (!vk) return false;
    entries.push_back({*scan, *vk});
  }
  walk.e0 = std::move(entries);
  return true;
}

uint16_t ExpectedVkOfKey(int key) { return key >= kLastKeypadKey ? ExpectedVk(key - kLastKeypadKey) : DefaultVk(key, true); }

// The VK is kept with its flags: Print Screen's 0xE0 entry, for one, is
// nothing without KBDEXT when it is written back.
void AddUnresolved(LayoutWalk& walk, uint16_t vk, uint8_t scan, uint8_t extended) {
  KeyboardLayout& layout = walk.layout;
  if (layout.unresolvedCount >= kMaxUnresolved) {
    walk.dialogs.ShowMessage("Too many scancodes!");
    return;
  }
  layout.unresolved[size_t(layout.unresolvedCount++)] = {vk, scan, extended};
}

}  // namespace

int KeyForVk(const KeyboardLayout& layout, int keypadEnterVk, uint8_t vk) {
  int found = 0;
  for (int n = kKeyCount; n >= 1 && found == 0; --n) {
    const KeyRecord& key = layout.Key(n);
    if ((key.vk & 0xFF) == vk && key.Mapped == 0) found = n;
  }
  // Rows for keypad Enter's VK belong to the main Enter unless the library
  // gave keypad Enter exactly that VK.
  if (found == kKeypadEnterKey && keypadEnterVk != vk) return kMainEnterKey;
  // A VK no key of the key table has may be one of a key beyond it.
  for (int n = kFirstExtraKey; n <= kLastKey && found == 0; ++n)
    if ((layout.Key(n).vk & 0xFF) == vk && vk != 0xFF) found = n;
  return found;
}

bool MapScanCodes(LayoutWalk& walk) {
  for (int n = 1; n <= kKeyCount; ++n) {
    KeyRecord& key = walk.layout.Key(n);
    const uint16_t scan = KeyRow(n).scan;
    if (scan < kE0Prefix) {
      const auto vk = PlainVk(walk, scan);
      if (!vk) return false;
      const int function = FunctionIdOfVk(*vk);
      // A key given another key's function keeps its own VK and says so.
      if (function != 0 && DefaultVk(n, true) != (*vk & 0xFF))
        key.Mapped = function;
      else
        key.vk = *vk;
    } else if (scan < 2 * kE0Prefix) {
      if (!LoadE0Table(walk)) return false;
      for (const ScanVk& entry : *walk.e0) {
        if (entry.scan != (scan & 0xFF)) continue;
        if (entry.scan == 0x1C) walk.keypadEnterVk = entry.vk;
        key.vk = entry.vk;
        if (entry.vk != ExpectedVkOfKey(n)) key.Mapped = FunctionIdOfVk(entry.vk);
      }
    }
  }
  return true;
}

// Keys beyond the key table take the VK their scan code has, flags and all;
// their scan codes stay unresolved entries as well.
bool MapExtraKeys(LayoutWalk& walk) {
  for (int n = kFirstExtraKey; n <= kLastKey; ++n) {
    KeyRecord& key = walk.layout.Key(n);
    const uint16_t scan = KeyRow(n).scan;
    if (scan < kE0Prefix) {
      const auto vk = PlainVk(walk, scan);
      if (!vk) return false;
      key.vk = *vk;
      continue;
    }
    if (!LoadE0Table(walk)) return false;
    for (const ScanVk& entry : *walk.e0)
      if (entry.scan == (scan & 0xFF)) key.vk = entry.vk;
  }
  return true;
}

bool CollectUnresolvedScanCodes(LayoutWalk& walk) {
  // Scan codes (0x100 added for the E0 prefix) that a key of the key table has.
  std::array<bool, 2 * kE0Prefix> known{};
  for (const KeyTableRow& row : KeyTable()) known[row.scan] = true;
  walk.layout.unresolvedCount = 0;
  for (int scan = 0; scan < kPlainScanCodes; ++scan) {
    const auto vk = PlainVk(walk, scan);
    if (!vk) return false;
    if (*vk != kNoVk && !known[size_t(scan)]) AddUnresolved(walk, *vk, uint8_t(scan), 0);
  }
  if (!LoadE0Table(walk)) return false;
  for (const ScanVk& entry : *walk.e0)
    if (!known[kE0Prefix + entry.scan]) AddUnresolved(walk, entry.vk, entry.scan, 1);
  return true;
}

}  // namespace tastora
