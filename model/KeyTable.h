#pragma once
// The physical keyboard: 125 keys numbered 1..125. Keys 1..48 type, 49..63
// are the numeric keypad, 64..125 are modifiers, locks, navigation, function
// and media keys.

#include <cstdint>
#include <span>

namespace tastora {

inline constexpr int kFirstKeypadKey = 49;
inline constexpr int kLastKeypadKey = 63;
inline constexpr int kFirstNonTypingKey = 64;
inline constexpr int kKeypadEnterKey = 74;
inline constexpr int kMainEnterKey = 104;
inline constexpr uint16_t kE0Prefix = 0x100;

struct KeyTableRow {
  int number;
  uint16_t scan;          // 0x100 added for the E0 prefix
  uint8_t vkNt;           // default VK on the NT platform
  uint8_t vkOther;        // default VK on the 8-bit platform
  uint16_t normal;        // default US characters, 0 = none
  uint16_t shifted;
  uint16_t expectedVk;    // VK with flags for keys 63..125, 0 otherwise
  const char* description;
};

std::span<const KeyTableRow> KeyTable();
// Keys 126..132, beyond the key table.
std::span<const KeyTableRow> ExtraKeyTable();
// Row of key number 1..132; the key number must be valid.
const KeyTableRow& KeyRow(int number);
// Default VK of a key on the given platform.
uint16_t DefaultVk(int number, bool ntPlatform);

// k = key number - 63: 1..62 give the expected VK of key 63 + k; 0 gives 0x016F.
uint16_t ExpectedVk(int k);
// The 8-bit platform's expected VK of key 63 + k, k from 1 to 62.
uint16_t OtherPlatformExpectedVk(int k);

}  // namespace tastora
