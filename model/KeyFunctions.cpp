#include "model/KeyFunctions.h"

#include <array>

namespace tastora {
namespace {

constexpr std::array<KeyFunction, 81> kFunctions{{
    {1, "F1", 0x70, 0x000, kGenericSelf},
    {2, "F2", 0x71, 0x000, kGenericSelf},
    {3, "F3", 0x72, 0x000, kGenericSelf},
    {4, "F4", 0x73, 0x000, kGenericSelf},
    {5, "F5", 0x74, 0x000, kGenericSelf},
    {6, "F6", 0x75, 0x000, kGenericSelf},
    {7, "F7", 0x76, 0x000, kGenericSelf},
    {8, "F8", 0x77, 0x000, kGenericSelf},
    {9, "F9", 0x78, 0x000, kGenericSelf},
    {10, "F10", 0x79, 0x000, kGenericSelf},
    {11, "F11", 0x7A, 0x000, kGenericSelf},
    {12, "F12", 0x7B, 0x000, kGenericSelf},
    {101, "Left Alt", 0xA4, 0x000, 0x12},
    {102, "Right Alt", 0xA5, 0x100, kGenericNone},
    {103, "Left Ctrl", 0xA2, 0x000, 0x11},
    {104, "Right Ctrl", 0xA3, 0x100, kGenericNone},
    {105, "Left Shift", 0xA0, 0x000, 0x10},
    {106, "Right Shift", 0xA1, 0x100, kGenericNone},
    {201, "Enter", 0x0D, 0x000, kGenericSelf},
    {202, "Tab", 0x09, 0x000, kGenericSelf},
    {203, "Space", 0x20, 0x000, kGenericSelf},
    {204, "Backspace", 0x08, 0x000, kGenericSelf},
    {205, "Escape", 0x1B, 0x000, kGenericSelf},
    {301, "Caps Lock", 0x14, 0x000, kGenericSelf},
    {302, "Num Lock", 0x90, 0x300, kGenericSelf},
    {303, "Scroll Lock", 0x91, 0x200, kGenericSelf},
    {401, "Up", 0x26, 0x100, kGenericSelf},
    {402, "Down", 0x28, 0x100, kGenericSelf},
    {403, "Left", 0x25, 0x100, kGenericSelf},
    {404, "Right", 0x27, 0x100, kGenericSelf},
    {501, "Insert", 0x2D, 0x100, kGenericSelf},
    {502, "Delete", 0x2E, 0x100, kGenericSelf},
    {503, "Home", 0x24, 0x100, kGenericSelf},
    {504, "End", 0x23, 0x100, kGenericSelf},
    {505, "Page Up", 0x21, 0x100, kGenericSelf},
    {506, "Page Dn", 0x22, 0x100, kGenericSelf},
    {507, "None", 0xFE, 0x000, kGenericSelf},
    {601, "Left Windows", 0x5B, 0x100, kGenericSelf},
    {602, "Right Windows", 0x5C, 0x100, kGenericSelf},
    {603, "Application", 0x5D, 0x100, kGenericSelf},
    {701, "Num /", 0x6F, 0x100, kGenericNone},
    {702, "Num *", 0x6A, 0x200, kGenericSelf},
    {703, "Num -", 0x6D, 0x000, kGenericSelf},
    {704, "Num +", 0x6B, 0x000, kGenericSelf},
    {705, "Num Enter", 0x0D, 0x100, kGenericNone},
    {706, "Num .", 0x6E, 0xC00, kGenericSelf},
    {707, "Num 0", 0x60, 0xC00, kGenericSelf},
    {708, "Num 1", 0x61, 0xC00, kGenericSelf},
    {709, "Num 2", 0x62, 0xC00, kGenericSelf},
    {710, "Num 3", 0x63, 0xC00, kGenericSelf},
    {711, "Num 4", 0x64, 0xC00, kGenericSelf},
    {712, "Num 5", 0x65, 0xC00, kGenericSelf},
    {713, "Num 6", 0x66, 0xC00, kGenericSelf},
    {714, "Num 7", 0x67, 0xC00, kGenericSelf},
    {715, "Num 8", 0x68, 0xC00, kGenericSelf},
    {716, "Num 9", 0x69, 0xC00, kGenericSelf},
    {801, "Back", 0xA6, 0x100, kGenericNone},
    {802, "Forward", 0xA7, 0x100, kGenericNone},
    {803, "Refresh", 0xA8, 0x100, kGenericNone},
    {804, "Stop", 0xA9, 0x100, kGenericNone},
    {805, "Search", 0xAA, 0x100, kGenericNone},
    {806, "Favorite", 0xAB, 0x100, kGenericNone},
    {807, "Home page", 0xAC, 0x100, kGenericNone},
    {808, "Mail", 0xB4, 0x100, kGenericNone},
    {809, "Mute", 0xAD, 0x100, kGenericNone},
    {810, "Vol -", 0xAE, 0x100, kGenericNone},
    {811, "Vol +", 0xAF, 0x100, kGenericNone},
    {812, "Next. track", 0xB0, 0x100, kGenericNone},
    {813, "Prev. track", 0xB1, 0x100, kGenericNone},
    {814, "Stop", 0xB2, 0x100, kGenericNone},
    {815, "Play", 0xB3, 0x100, kGenericNone},
    {816, "Media", 0xB5, 0x100, kGenericNone},
    {817, "Prog. #1", 0xB6, 0x100, kGenericNone},
    {818, "Prog. #2", 0xB7, 0x100, kGenericNone},
    {819, "", 0x5F, 0x100, kGenericNone},
    {820, "", 0x5E, 0x100, kGenericNone},
    {821, "", 0xE4, 0x100, kGenericNone},
    {901, "Henkaku/Zenkaku", 0x4F3, 0x400, kGenericSelf},
    {902, "Muhenkan", 0x41D, 0x400, kGenericSelf},
    {903, "Henkan", 0x41C, 0x400, kGenericSelf},
    {904, "Katagana/Hiragana", 0x4F2, 0x400, kGenericSelf},
}};

}  // namespace

std::span<const KeyFunction> KeyFunctions() { return kFunctions; }

const KeyFunction* FindKeyFunction(int id) {
  for (const KeyFunction& f : kFunctions)
    if (f.id == id) return &f;
  return nullptr;
}

int FunctionIdOfVk(uint16_t vkWithFlags) {
  for (const KeyFunction& f : kFunctions)
    if ((f.vk | f.flags) == vkWithFlags) return f.id;
  return 0;
}

int FunctionIdOfGenericVk(uint16_t vk) {
  for (const KeyFunction& f : kFunctions) {
    if (f.genericVk == kGenericNone) continue;
    const int generic = f.genericVk == kGenericSelf ? f.vk : f.genericVk;
    if (generic == vk) return f.id;
  }
  return 0;
}

uint16_t VkOfFunction(int id) {
  const KeyFunction* f = FindKeyFunction(id);
  return f ? static_cast<uint16_t>(f->vk | f->flags) : 255;
}

uint16_t GenericVkOfFunction(int id) {
  const KeyFunction* f = FindKeyFunction(id);
  if (!f || f->genericVk == kGenericNone) return 255;
  return static_cast<uint16_t>(f->genericVk == kGenericSelf ? f->vk : f->genericVk);
}

}  // namespace tastora
