#pragma once
// The parts of the serialised tables, built from the writer's own copy of
// the key records before anything is placed in the data section.

#include <array>
#include <cstdint>
#include <vector>

#include "model/KeyboardLayout.h"

namespace tastora {

struct PatchSettings;
struct SpecialKeyTable;

// The writer's copy of the key records; the caller's layout is not changed.
struct WorkingKeys {
  std::array<KeyRecord, kMaxKeys> keys;

  KeyRecord& Key(int number) { return keys[static_cast<size_t>(number - 1)]; }
  const KeyRecord& Key(int number) const { return keys[static_cast<size_t>(number - 1)]; }
};

inline constexpr int kModifierMasks = 8;
inline constexpr int kMaxTableWidth = kModifierMasks;
inline constexpr uint8_t kNoColumn = 0x0F;  // SHFT_INVALID

// Which modification column holds which model slot. Columns 0 to 4 are
// always Normal, Shift, AltGr, Shift+AltGr and Ctrl; Shift+Ctrl, Alt and
// Shift+Alt get columns after them only in layouts that type something
// there, so that other layouts keep their tables as they were.
struct ColumnPlan {
  std::array<uint8_t, kModifierMasks> columnOfSlot{};  // kNoColumn: the slot has none
  std::vector<int> slotOfColumn;

  int Columns() const { return static_cast<int>(slotOfColumn.size()); }
};

ColumnPlan PlanColumns(const WorkingKeys& keys, const KeyboardLayout& layout);
// Whether a key of the key table (1..125) or beyond it is written as character rows.
bool HasCharacterRows(const KeyRecord& key, int number);

struct CharacterRow {
  uint8_t vk = 0;
  uint8_t attributes = 0;
  std::array<uint16_t, kMaxTableWidth> chars{};
};

// Rows of the character tables of widths 1 to 8, at [width - 1].
using CharacterTables = std::array<std::vector<CharacterRow>, kMaxTableWidth>;

struct ScanVk {
  uint8_t scan = 0;
  uint16_t vk = 0;
};

struct LigatureEntry {
  uint16_t vk = 0;
  uint16_t modification = 0;
  std::vector<uint16_t> chars;  // nLgMax characters, filled with WCH_NONE
};

struct LigatureTable {
  uint8_t maxLength = 0;   // nLgMax
  uint8_t entrySize = 0;   // cbLgEntry
  std::vector<LigatureEntry> entries;
};

// Keys that stand for Tab, Backspace, Esc, Enter or Space take that key's
// characters from the special-key table.
void ApplySpecialKeys(WorkingKeys& keys, const SpecialKeyTable& specialKeys);
CharacterTables BuildCharacterRows(const WorkingKeys& keys, const ColumnPlan& plan);
// Keypad keys that kept their numeric-pad VK get the navigation VK with flags.
void ApplyKeypadVks(WorkingKeys& keys);

std::array<uint16_t, 128> BuildScanCodeTable(const WorkingKeys& keys, const KeyboardLayout& layout);
// The entries, the last one being the terminating zero entry.
std::vector<ScanVk> BuildE0Table(const WorkingKeys& keys, const KeyboardLayout& layout, const PatchSettings& patch);

// Entries carry the VK of the key's character rows; call it before ApplyKeypadVks.
LigatureTable BuildLigatureTable(const WorkingKeys& keys, const KeyboardLayout& layout, const ColumnPlan& plan);

}  // namespace tastora
