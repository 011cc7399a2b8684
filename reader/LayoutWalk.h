#pragma once
// One walk of a layout library's tables into the model. Each step returns
// false when a read fails: the walk then ends and the model keeps what the
// earlier steps filled.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "reader/LayoutMemory.h"
#include "reader/LayoutTables.h"

namespace tastora {

class Dialogs;
struct KeyboardLayout;
struct ProcessState;

inline constexpr uint8_t kNoState = 15;  // a modifier mask that reaches no column

struct ScanVk {
  uint8_t scan;
  uint16_t vk;
};

struct LayoutWalk {
  LayoutMemory& memory;
  const LayoutTables& tables;
  // Nested references resolve as the fields of the tables do.
  const ReferenceResolver& resolver;
  uint64_t anchor;
  KeyboardLayout& layout;
  ProcessState& state;
  Dialogs& dialogs;

  // The modification column each modifier mask 0..7 (Shift 1, Ctrl 2,
  // Alt 4) reaches, or kNoState; model slot m is what mask m types.
  std::array<uint8_t, 8> columnOfMask{};
  int keypadEnterVk = -1;
  // The 0xE0 table up to its terminator, read when first needed.
  std::optional<std::vector<ScanVk>> e0;
};

// The key that receives a character row for VK `vk`, or 0.
int KeyForVk(const KeyboardLayout& layout, int keypadEnterVk, uint8_t vk);

bool MapScanCodes(LayoutWalk& walk);
bool MapExtraKeys(LayoutWalk& walk);
bool ReadDeadKeys(LayoutWalk& walk);
bool ReadKeyNames(LayoutWalk& walk);
bool CollectUnresolvedScanCodes(LayoutWalk& walk);
bool ReadModifiers(LayoutWalk& walk);
bool ReadLigatures(LayoutWalk& walk);
bool ReadCharacters(LayoutWalk& walk);
// Keys beyond the key table that type nothing keep no VK of their own: their
// scan codes are carried by the unresolved list.
void ForgetIdleExtraKeys(KeyboardLayout& layout);
void MarkAssignedCharacters(KeyboardLayout& layout);
void FillSpecialKeys(KeyboardLayout& layout, ProcessState& state);

// Every step in order; false when one of them could not read its table.
bool FillLayoutModel(LayoutWalk& walk);

}  // namespace tastora
