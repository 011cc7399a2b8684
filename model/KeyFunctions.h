#pragma once
// The vocabulary of key functions a key can be given (a key's Mapped field).

#include <cstdint>
#include <span>

namespace tastora {

inline constexpr int kGenericSelf = -2;  // the generic VK is the entry's own VK
inline constexpr int kGenericNone = -1;  // no generic VK on the other platform

struct KeyFunction {
  int id;
  const char* name;  // empty for the three power keys
  uint16_t vk;
  uint16_t flags;    // 0x100 extended, 0x200 multi-VK, 0x400 special, 0x800 numeric pad
  int genericVk;     // kGenericSelf, kGenericNone or a VK
};

inline constexpr int kFunctionLeftCtrl = 103;
inline constexpr int kFunctionNumEnter = 705;

std::span<const KeyFunction> KeyFunctions();
const KeyFunction* FindKeyFunction(int id);

int FunctionIdOfVk(uint16_t vkWithFlags);
int FunctionIdOfGenericVk(uint16_t vk);
// VK with flags; 255 for an unknown id.
uint16_t VkOfFunction(int id);
// 255 for "none" or an unknown id.
uint16_t GenericVkOfFunction(int id);

}  // namespace tastora
