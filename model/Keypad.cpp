#include "model/Keypad.h"

#include <array>

#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"

namespace tastora {
namespace {

constexpr std::array<KeypadVkPair, 11> kPairs{{
    {49, 0x0C2E, 0x6E}, {50, 0x0C2D, 0x60}, {51, 0x0C23, 0x61}, {52, 0x0C28, 0x62},
    {53, 0x0C22, 0x63}, {54, 0x0C25, 0x64}, {55, 0x0C0C, 0x65}, {56, 0x0C27, 0x66},
    {57, 0x0C24, 0x67}, {58, 0x0C26, 0x68}, {59, 0x0C21, 0x69},
}};

const KeypadVkPair* PairOf(int key) {
  if (key < 49 || key > 59) return nullptr;
  return &kPairs[static_cast<size_t>(key - 49)];
}

}  // namespace

std::span<const KeypadVkPair> KeypadVkPairs() { return kPairs; }

uint16_t KeypadModelVk(int key, uint16_t libraryVk) {
  const KeypadVkPair* p = PairOf(key);
  return p && p->libraryVk == libraryVk ? p->modelVk : libraryVk;
}

uint16_t KeypadLibraryVk(int key, uint16_t modelVk) {
  const KeypadVkPair* p = PairOf(key);
  return p && p->modelVk == modelVk ? p->libraryVk : modelVk;
}

void AdjustNumpad(KeyboardLayout& layout, const ProcessState& state) {
  if (!state.IsNtPlatform()) return;
  for (const KeypadVkPair& p : kPairs) {
    KeyRecord& key = layout.Key(p.key);
    if (key.vk == p.libraryVk) key.vk = p.modelVk;
  }
}

}  // namespace tastora
