// The scan-code-to-VK table and the table of 0xE0-prefixed scan codes.

#include <algorithm>

#include "format/StandardScanCodes.h"
#include "model/KeyFunctions.h"
#include "model/KeyTable.h"
#include "model/ProcessState.h"
#include "writer/TableParts.h"

namespace tastora {
namespace {

constexpr int kKeypadSlashKey = 63;
constexpr uint8_t kKeypadSlashScan = 0x35;
// ThinkPads send 0xE0 0x63 for a key of their own; Wake is left out there.
constexpr uint8_t kThinkPadScan = 0x63;

uint16_t ExpectedVkOf(int n) { return ExpectedVk(n - 63); }

// The VK a non-typing key puts into the scan-code tables.
uint16_t NonTypingVk(const KeyRecord& key, int n) {
  if (key.Mapped != 0) return VkOfFunction(key.Mapped);
  if (key.AssignedChar == 1) return key.vk;
  return ExpectedVkOf(n);
}

// Setting the terminating entry makes it a real one; the table gets a new end.
void Set(std::vector<ScanVk>& table, size_t at, ScanVk value) {
  const bool wasEnd = table[at].scan == 0;
  table[at] = value;
  if (wasEnd && value.scan != 0) table.push_back({});
}

}  // namespace

std::array<uint16_t, 128> BuildScanCodeTable(const WorkingKeys& keys, const KeyboardLayout& layout) {
  std::array<uint16_t, 128> table = kbd::kStandardScanCodes;
  const int unresolved = std::clamp(layout.unresolvedCount, 0, kMaxUnresolved);
  for (int i = 0; i < unresolved; ++i) {
    const UnresolvedKey& u = layout.unresolved[size_t(i)];
    if (u.extended == 0 && u.scan < table.size()) table[u.scan] = u.vk;
  }
  for (int n = 1; n <= kLastKeypadKey; ++n) {
    const uint16_t scan = KeyRow(n).scan;
    if (scan >= table.size()) continue;  // key 63 has the 0xE0 prefix
    const KeyRecord& key = keys.Key(n);
    table[scan] = key.Mapped != 0 ? VkOfFunction(key.Mapped) : key.vk;
  }
  for (int n = kFirstNonTypingKey; n <= kKeyCount; ++n) {
    const uint16_t scan = KeyRow(n).scan;
    if ((scan & kE0Prefix) != 0 || scan >= table.size()) continue;
    table[scan] = NonTypingVk(keys.Key(n), n);
  }
  // A key beyond the key table that types sends the VK of its rows.
  for (int n = kFirstExtraKey; n <= kLastKey; ++n) {
    const uint16_t scan = KeyRow(n).scan;
    if (scan < table.size() && HasCharacterRows(keys.Key(n), n)) table[scan] = keys.Key(n).vk;
  }
  return table;
}

std::vector<ScanVk> BuildE0Table(const WorkingKeys& keys, const KeyboardLayout& layout, const PatchSettings& patch) {
  std::vector<ScanVk> table;
  for (const kbd::StandardScanVk& e : kbd::kStandardE0) table.push_back({e.scan, e.vk});
  const int unresolved = std::clamp(layout.unresolvedCount, 0, kMaxUnresolved);
  for (int i = 0; i < unresolved; ++i) {
    const UnresolvedKey& u = layout.unresolved[size_t(i)];
    if (u.extended != 1 || (patch.ThinkPad && u.scan == kThinkPadScan)) continue;
    for (size_t e = 0; e < table.size(); ++e) {
      if (table[e].scan == u.scan || table[e].scan == 0) {
        Set(table, e, {u.scan, u.vk});
        break;
      }
    }
  }
  const KeyRecord& slash = keys.Key(kKeypadSlashKey);
  for (int n = kFirstNonTypingKey; n <= kKeyCount; ++n) {
    const uint16_t scan = KeyRow(n).scan;
    if ((scan & kE0Prefix) == 0) continue;
    const uint8_t q = static_cast<uint8_t>(scan & 0xFF);
    if (patch.ThinkPad && q == kThinkPadScan) continue;
    for (size_t e = 0; e < table.size(); ++e) {
      if (table[e].scan == 0) Set(table, e, {q, ExpectedVkOf(n)});
      if (table[e].scan == kKeypadSlashScan && slash.Mapped != 0) table[e].vk = VkOfFunction(slash.Mapped);
      if (table[e].scan == q) {
        table[e].vk = NonTypingVk(keys.Key(n), n);
        break;
      }
    }
  }
  for (int n = kFirstExtraKey; n <= kLastKey; ++n) {
    const uint16_t scan = KeyRow(n).scan;
    if ((scan & kE0Prefix) == 0 || !HasCharacterRows(keys.Key(n), n)) continue;
    const uint8_t q = static_cast<uint8_t>(scan & 0xFF);
    for (size_t e = 0; e < table.size(); ++e) {
      if (table[e].scan == q || table[e].scan == 0) {
        Set(table, e, {q, keys.Key(n).vk});
        break;
      }
    }
  }
  return table;
}

}  // namespace tastora
