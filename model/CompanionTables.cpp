#include "model/CompanionTables.h"

namespace tastora {
namespace {

struct SpecialKeyDefault {
  uint16_t vk;
  int functionId;
  std::array<uint16_t, kSpecialKeyStates> chars;  // Normal, Shift, AltGr, Shift+AltGr, Ctrl
};

constexpr std::array<SpecialKeyDefault, kSpecialKeyCount> kSpecialKeys{{
    {0x09, 202, {0x09, 0x09, 0, 0, 0}},     // Tab
    {0x08, 204, {0x08, 0x08, 0, 0, 0x7F}},  // Backspace
    {0x1B, 205, {0x1B, 0x1B, 0, 0, 0x1B}},  // Esc
    {0x0D, 201, {0x0D, 0x0D, 0, 0, 0x0A}},  // Enter
    {0x20, 203, {0x20, 0x20, 0, 0, 0x20}},  // Space
}};

}  // namespace

void KeyNameTable::Empty() {
  count = 0;
  for (KeyNameEntry& e : entries) {
    e.scan = 0;
    e.name.clear();
  }
}

void SpecialKeyTable::ResetToDefaults() {
  for (size_t j = 0; j < kSpecialKeys.size(); ++j) cells[j] = kSpecialKeys[j].chars;
}

uint16_t SpecialKeyVk(int key) { return kSpecialKeys[static_cast<size_t>(key - 1)].vk; }
int SpecialKeyFunctionId(int key) { return kSpecialKeys[static_cast<size_t>(key - 1)].functionId; }

bool IsSpecialKeyVk(uint16_t vk) {
  for (int j = 1; j <= kSpecialKeyCount; ++j)
    if (SpecialKeyVk(j) == vk) return true;
  return false;
}

}  // namespace tastora
