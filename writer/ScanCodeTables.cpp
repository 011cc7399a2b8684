// The scan-code-to-VK table and the table of 0xE0-prefixed scan codes.

#include <algorithm>

#include "model/KeyFunctions.h"
#include "model/KeyTable.h"
#include "model/ProcessState.h"
#include "writer/TableParts.h"

namespace tastora {
namespace {

constexpr std::array<uint16_t, 128> kDefaultScanCodes{
    0x00FF, 0x001B, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036,
    0x0037, 0x0038, 0x0039, 0x0030, 0x00BD, 0x00BB, 0x0008, 0x0009,
    0x0051, 0x0057, 0x0045, 0x0052, 0x0054, 0x0059, 0x0055, 0x0049,
    0x004F, 0x0050, 0x00DB, 0x00DD, 0x000D, 0x00A2, 0x0041, 0x0053,
    0x0044, 0x0046, 0x0047, 0x0048, 0x004A, 0x004B, 0x004C, 0x00BA,
    0x00DE, 0x00C0, 0x00A0, 0x00DC, 0x005A, 0x0058, 0x0043, 0x0056,
    0x0042, 0x004E, 0x004D, 0x00BC, 0x00BE, 0x00BF, 0x01A1, 0x026A,
    0x00A4, 0x0020, 0x0014, 0x0070, 0x0071, 0x0072, 0x0073, 0x0074,
    0x0075, 0x0076, 0x0077, 0x0078, 0x0079, 0x0390, 0x0291, 0x0C67,
    0x0C68, 0x0C69, 0x006D, 0x0C64, 0x0C65, 0x0C66, 0x006B, 0x0C61,
    0x0C62, 0x0C63, 0x0C60, 0x0C6E, 0x002C, 0x00FF, 0x00E2, 0x007A,
    0x007B, 0x000C, 0x00EE, 0x00F1, 0x00EA, 0x00F9, 0x00F5, 0x00F3,
    0x00FF, 0x00FF, 0x00FB, 0x002F, 0x007C, 0x007D, 0x007E, 0x007F,
    0x0080, 0x0081, 0x0082, 0x0083, 0x0084, 0x0085, 0x0086, 0x00ED,
    0x00FF, 0x00E9, 0x00FF, 0x00C1, 0x00FF, 0x00FF, 0x0087, 0x00FF,
    0x00FF, 0x00FF, 0x00FF, 0x00EB, 0x0009, 0x00FF, 0x00C2, 0x0000,
};

constexpr std::array<ScanVk, 20> kDefaultE0{{
    {0x1C, 0x010D}, {0x1D, 0x01A3}, {0x35, 0x016F}, {0x37, 0x012C}, {0x38, 0x01A5},
    {0x46, 0x0103}, {0x47, 0x0124}, {0x48, 0x0126}, {0x49, 0x0121}, {0x4B, 0x0125},
    {0x4D, 0x0127}, {0x4F, 0x0123}, {0x50, 0x0128}, {0x51, 0x0122}, {0x52, 0x012D},
    {0x53, 0x012E}, {0x5B, 0x015B}, {0x5C, 0x015C}, {0x5D, 0x015D}, {0x00, 0x0000},
}};

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
  std::array<uint16_t, 128> table = kDefaultScanCodes;
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
  std::vector<ScanVk> table(kDefaultE0.begin(), kDefaultE0.end());
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
