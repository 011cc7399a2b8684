#pragma once
// The tables that travel beside a layout: one set per process, overwritten by
// whichever reader loads a layout.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tastora {

inline constexpr int kMaxKeyNames = 256;
inline constexpr int kSpecialKeyCount = 5;
inline constexpr int kSpecialKeyStates = 5;  // Normal, Shift, AltGr, Shift+AltGr, Ctrl

struct KeyNameEntry {
  uint16_t scan = 0;
  std::u16string name;
};

struct KeyNameTable {
  int count = 0;
  std::array<KeyNameEntry, kMaxKeyNames> entries;

  void Empty();
};

// Rows and states are numbered 1..5 as in the data files; use At().
struct SpecialKeyTable {
  std::array<std::array<uint16_t, kSpecialKeyStates>, kSpecialKeyCount> cells{};

  uint16_t& At(int key, int state) { return cells[std::size_t(key - 1)][std::size_t(state - 1)]; }
  uint16_t At(int key, int state) const { return cells[std::size_t(key - 1)][std::size_t(state - 1)]; }
  void ResetToDefaults();
};

// VK and key-function id of special key j (1..5).
uint16_t SpecialKeyVk(int key);
int SpecialKeyFunctionId(int key);
// Whether `vk` (all 16 bits) is the VK of one of the special keys.
bool IsSpecialKeyVk(uint16_t vk);

}  // namespace tastora
