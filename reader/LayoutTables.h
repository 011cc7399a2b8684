#pragma once
// The reader's copy of the fields of a library's KBDTABLES, each reference
// already resolved.

#include <array>
#include <cstdint>
#include <optional>

#include "format/KbdTables.h"
#include "reader/LayoutMemory.h"

namespace tastora {

struct LayoutTables {
  const kbd::TableForm* form = &kbd::kWideReferences;  // where the nested references sit
  Location pCharModifiers;
  Location pVkToWcharTable;
  Location pDeadKey;
  Location pKeyNames;
  Location pKeyNamesExt;
  Location pKeyNamesDead;
  Location pusVSCtoVK;
  uint8_t bMaxVSCtoVK = 0;
  Location pVSCtoVK_E0;
  Location pVSCtoVK_E1;  // resolved but not read
  uint32_t fLocaleFlags = 0;
  uint8_t nLgMax = 0;
  uint8_t cbLgEntry = 0;
  std::array<uint8_t, 8> ligatureSource{};  // the raw reference, as stored in the model
  Location pLigature;
};

// Copies the tables found at `at`, in whichever of the two forms they read
// as; references are resolved against `anchor`. No value when the block
// reads as neither.
std::optional<LayoutTables> ReadLayoutTables(LayoutMemory& memory, Location at, uint64_t anchor,
                                             const ReferenceResolver& resolver);

}  // namespace tastora
