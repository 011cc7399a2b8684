// The ligature table: one entry per ligature cell of keys 1 to 125.

#include <algorithm>

#include "format/KbdTables.h"
#include "writer/TableParts.h"

namespace tastora {
namespace {

constexpr int kLigatureSlots = 8;  // slot 8 of the model is never written
// The modification number of a slot without a column.
constexpr uint16_t kNoModification = 0xFF;

int LengthOf(const LigatureCell& cell) { return std::clamp(cell.length, 0, kMaxLigatureLength); }

uint8_t EntrySize(int maxLength) { return static_cast<uint8_t>(2 * maxLength + 4); }

}  // namespace

// Keys beyond the key table have ligatures only when they have rows.
bool Written(const WorkingKeys& keys, int n) { return n <= kKeyCount || HasCharacterRows(keys.Key(n), n); }

LigatureTable BuildLigatureTable(const WorkingKeys& keys, const KeyboardLayout& layout, const ColumnPlan& plan) {
  LigatureTable table;
  // A layout without ligatures keeps the entry size of the library it came from.
  if (layout.ligatureWidth != 0) table.entrySize = EntrySize(layout.ligatureWidth);
  int longest = 0;
  for (int n = 1; n <= kLastKey; ++n)
    for (int slot = 0; slot < kLigatureSlots && Written(keys, n); ++slot)
      longest = std::max(longest, LengthOf(layout.ligatures[size_t(n)][size_t(slot)]));
  if (longest == 0) return table;
  table.maxLength = static_cast<uint8_t>(longest);
  table.entrySize = EntrySize(longest);
  for (int n = 1; n <= kLastKey; ++n) {
    for (int slot = 0; slot < kLigatureSlots && Written(keys, n); ++slot) {
      const LigatureCell& cell = layout.ligatures[size_t(n)][size_t(slot)];
      const int length = LengthOf(cell);
      if (length == 0) continue;
      const uint8_t column = plan.columnOfSlot[size_t(slot)];
      LigatureEntry entry{keys.Key(n).vk, column == kNoColumn ? kNoModification : uint16_t{column},
                          std::vector<uint16_t>(size_t(longest), kbd::kCharNone)};
      std::copy_n(cell.chars.begin(), length, entry.chars.begin());
      table.entries.push_back(std::move(entry));
    }
  }
  return table;
}

}  // namespace tastora
