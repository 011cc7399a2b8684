#pragma once
// Layout libraries give keypad keys 49..59 their navigation VK with the
// numeric-pad and special flags; the model keeps the plain keypad VK.

#include <cstdint>
#include <span>

namespace tastora {

struct KeyboardLayout;
struct ProcessState;

struct KeypadVkPair {
  int key;
  uint16_t libraryVk;
  uint16_t modelVk;
};

std::span<const KeypadVkPair> KeypadVkPairs();
// The model VK for a library VK of that key, or the VK unchanged.
uint16_t KeypadModelVk(int key, uint16_t libraryVk);
// The library VK for a model VK of that key, or the VK unchanged.
uint16_t KeypadLibraryVk(int key, uint16_t modelVk);

// On the NT platform, keys 49..59 carrying their library VK get the model VK.
void AdjustNumpad(KeyboardLayout& layout, const ProcessState& state);

}  // namespace tastora
