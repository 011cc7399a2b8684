#include "format/KbdTables.h"
#include "model/KeyboardLayout.h"
#include "reader/LayoutWalk.h"

namespace tastora {

bool ReadDeadKeys(LayoutWalk& walk) {
  KeyboardLayout& layout = walk.layout;
  layout.deadCount = 0;
  const Location table = walk.tables.pDeadKey;
  for (int i = 0; !table.IsNull() && i < kMaxDeadKeys; ++i) {
    const Location at = table + uint64_t(i) * kbd::kDeadKeyEntrySize;
    const auto base = walk.memory.U16(at + kbd::kDeadKeyBase);
    if (!base) return false;
    if (*base == 0) break;
    const auto accent = walk.memory.U16(at + kbd::kDeadKeyAccent);
    const auto composed = walk.memory.U16(at + kbd::kDeadKeyComposed);
    if (!accent || !composed) return false;
    layout.deadKeys[size_t(i)] = {*accent, *base, *composed};
    layout.deadCount = i + 1;
  }
  return true;
}

}  // namespace tastora
