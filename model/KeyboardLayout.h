#pragma once
// The in-memory keyboard layout: one plain value of fixed size. Every holder
// copies it whole; a copy is a complete, independent layout.

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace tastora {

struct ProcessState;

inline constexpr int kMaxKeys = 255;          // key slots; key numbers 1..125 are used
inline constexpr int kKeyCount = 125;         // keys of the key table
// Keys some keyboards have beyond the key table (the Brazilian ABNT keys, the
// Japanese keys, Break). They carry characters only; their scan codes keep
// living in the unresolved list.
inline constexpr int kFirstExtraKey = 126;
inline constexpr int kLastKey = 132;
inline constexpr int kSlotCount = 16;         // 8 primary columns + 8 Caps Lock columns
inline constexpr int kMaxDeadKeys = 1200;
inline constexpr int kMaxUnresolved = 500;
inline constexpr int kLigatureRows = 256;
inline constexpr int kLigatureColumns = 9;
inline constexpr int kMaxLigatureLength = 32;

// Column numbers are modifier masks: Shift = 1, Ctrl = 2, Alt = 4.
inline constexpr int kColumnNormal = 0;
inline constexpr int kColumnShift = 1;
inline constexpr int kColumnCtrl = 2;
inline constexpr int kColumnAltGr = 6;
inline constexpr int kColumnShiftAltGr = 7;
inline constexpr int kCapsLockSlotOffset = 8;

// Published key flags carried in the high byte of a VK.
inline constexpr uint16_t kVkExtended = 0x0100;
inline constexpr uint16_t kVkMultiVk = 0x0200;
inline constexpr uint16_t kVkSpecial = 0x0400;
inline constexpr uint16_t kVkNumpad = 0x0800;

struct KeyRecord {
  std::array<uint16_t, kSlotCount> chars;
  std::array<uint8_t, kSlotCount> dead;
  uint8_t CapsAware;
  uint16_t Kana;
  uint16_t vk;
  int32_t Mapped;
  uint8_t AssignedChar;
  uint8_t CapsAware2;
  uint8_t ShiftLock;
  int32_t index;
};

struct DeadKeyEntry {
  uint16_t accent;
  uint16_t base;
  uint16_t result;
};

struct UnresolvedKey {
  uint16_t vk;
  uint8_t scan;
  uint8_t extended;
};

struct LigatureCell {
  int32_t length;
  std::array<uint16_t, kMaxLigatureLength> chars;
};

struct KeyboardLayout {
  std::array<KeyRecord, kMaxKeys> keys;  // keys[n - 1] is key number n
  int32_t deadCount;
  std::array<DeadKeyEntry, kMaxDeadKeys> deadKeys;
  uint8_t altgr_used;
  uint8_t ShiftLockOrig;
  uint8_t LRMRLM;
  uint16_t lcid;
  std::array<UnresolvedKey, kMaxUnresolved> unresolved;  // entries 1..500 at [0..499]
  int32_t unresolvedCount;
  uint8_t ligatureWidth;
  uint8_t ligatureEntrySize;
  std::array<uint8_t, 8> ligatureSource;
  std::array<std::array<LigatureCell, kLigatureColumns>, kLigatureRows> ligatures;

  KeyRecord& Key(int number) { return keys[static_cast<std::size_t>(number - 1)]; }
  const KeyRecord& Key(int number) const { return keys[static_cast<std::size_t>(number - 1)]; }
};

static_assert(std::is_trivially_copyable_v<KeyboardLayout>);

// Empty layout with default VKs; resets the special-key table, leaves key names.
void Clear(KeyboardLayout& layout, ProcessState& state);
// The US layout, with the default key-name tables.
void ResetToDefault(KeyboardLayout& layout, ProcessState& state);
// First key 1..125 whose vk equals `vk` in all 16 bits, or 0.
int FindKeyByVk(const KeyboardLayout& layout, uint16_t vk);
// Key number whose key-table scan code (0x100 added for the E0 prefix) is
// `scan`, or -1. The library reader uses FindKeyByScanOrZero.
int FindKeyByScan(int scan);
int FindKeyByScanOrZero(int scan);
// As FindKeyByScan, the extra keys included.
int FindAnyKeyByScan(int scan);
// Whether key n has a character or a dead key in any slot.
bool HasCharacters(const KeyRecord& key);

}  // namespace tastora
