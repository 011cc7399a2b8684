// The ligature table: one entry per ligature cell of keys 1 to 125.

#include <algorithm>

#include "writer/KbdStructures.h"
#include "writer/TableParts.h"

namespace tastora {
namespace {

// Modification number of model slots 0 to 7; slots 3 to 5 have no column.
constexpr std::array<uint16_t, 8> kSlotModification{0, 1, 4, 0xFF, 0xFF, 0xFF, 2, 3};
constexpr int kLigatureSlots = 8;  // slot 8 of the model is never written

int LengthOf(const LigatureCell& cell) { return std::clamp(cell.length, 0, kMaxLigatureLength); }

uint8_t EntrySize(int maxLength) { return static_cast<uint8_t>(2 * maxLength + 4); }

}  // namespace

LigatureTable BuildLigatureTable(const WorkingKeys& keys, const KeyboardLayout& layout) {
  LigatureTable table;
  // A layout without ligatures keeps the entry size of the library it came from.
  if (layout.ligatureWidth != 0) table.entrySize = EntrySize(layout.ligatureWidth);
  int longest = 0;
  for (int n = 1; n <= kKeyCount; ++n)
    for (int slot = 0; slot < kLigatureSlots; ++slot)
      longest = std::max(longest, LengthOf(layout.ligatures[size_t(n)][size_t(slot)]));
  if (longest == 0) return table;
  table.maxLength = static_cast<uint8_t>(longest);
  table.entrySize = EntrySize(longest);
  for (int n = 1; n <= kKeyCount; ++n) {
    for (int slot = 0; slot < kLigatureSlots; ++slot) {
      const LigatureCell& cell = layout.ligatures[size_t(n)][size_t(slot)];
      const int length = LengthOf(cell);
      if (length == 0) continue;
      LigatureEntry entry{keys.Key(n).vk, kSlotModification[size_t(slot)],
                          std::vector<uint16_t>(size_t(longest), kbdw::kCharNone)};
      std::copy_n(cell.chars.begin(), length, entry.chars.begin());
      table.entries.push_back(std::move(entry));
    }
  }
  return table;
}

}  // namespace tastora
