#include <algorithm>

#include "format/KbdTables.h"
#include "model/KeyboardLayout.h"
#include "reader/LayoutWalk.h"

namespace tastora {
namespace {

// One entry per key and column at most makes sense; a longer table (or one
// whose entry size is 0) is cut there.
constexpr int kMaxLigatureEntries = kLigatureRows * kLigatureColumns;

}  // namespace

bool ReadLigatures(LayoutWalk& walk) {
  KeyboardLayout& layout = walk.layout;
  const LayoutTables& tables = walk.tables;
  layout.ligatureWidth = tables.nLgMax;
  layout.ligatureEntrySize = tables.cbLgEntry;
  layout.ligatureSource = tables.ligatureSource;
  for (auto& row : layout.ligatures)
    for (LigatureCell& cell : row) cell = LigatureCell{};
  if (tables.nLgMax == 0 || tables.pLigature.IsNull()) {
    layout.ligatureEntrySize = 0;
    layout.ligatureSource = {};
    return true;
  }
  const int width = std::min<int>(tables.nLgMax, kMaxLigatureLength);
  for (int i = 0; i < kMaxLigatureEntries; ++i) {
    const Location at = tables.pLigature + uint64_t(i) * tables.cbLgEntry;
    const auto vk = walk.memory.U16(at + kbd::kLigatureVk);
    if (!vk) return false;
    if (*vk == 0) break;
    const auto column = walk.memory.U16(at + kbd::kLigatureModification);
    if (!column) return false;
    const int k = KeyForVk(layout, walk.keypadEnterVk, static_cast<uint8_t>(*vk & 0xFF));
    if (k == 0) continue;
    LigatureCell cell{};
    for (int c = 0; c < width; ++c) {
      const auto ch = walk.memory.U16(at + kbd::kLigatureChars + uint64_t(c) * 2);
      if (!ch) return false;
      cell.chars[size_t(c)] = *ch;
    }
    // Short ligatures are padded with "no character".
    cell.length = width;
    while (cell.length > 0 && cell.chars[size_t(cell.length - 1)] == kbd::kCharNone) --cell.length;
    // Every modifier state that reaches the entry's column types it; the
    // first entry for a key and column is the one Windows finds.
    for (size_t m = 0; m < walk.columnOfMask.size(); ++m) {
      LigatureCell& target = layout.ligatures[size_t(k)][m];
      if (walk.columnOfMask[m] == *column && target.length == 0) target = cell;
    }
  }
  return true;
}

}  // namespace tastora
