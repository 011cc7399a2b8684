#pragma once

#include <cstdint>
#include <string>

namespace tastora {

// "NAME 0xHH" for the low byte of a VK ("VK_CANCEL  0x03" keeps its two blanks).
std::string VkName(uint16_t vk);

}  // namespace tastora
