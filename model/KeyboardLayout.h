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

// One physical key, and what it types.
struct KeyRecord {
  std::array<uint16_t, kSlotCount> chars;  // character per column (0 = none); columns 8..15 with Caps Lock on
  std::array<uint8_t, kSlotCount> dead;    // 1 where that column's character is a dead key (an accent to combine)
  uint8_t CapsAware;     // 1: Caps Lock acts as Shift on this key's plain and Shift columns
  uint16_t Kana;         // the Kana attribute data files carry for the key (Japanese input); never written to a library
  uint16_t vk;           // the virtual key the key sends, with the kVk* flags in its high byte
  int32_t Mapped;        // 0: the key types characters; otherwise the key function it was given (model/KeyFunctions.h)
  uint8_t AssignedChar;  // 1: a non-typing key the user gave characters, so it keeps its own VK
  uint8_t CapsAware2;    // 1: Caps Lock acts as Shift on the AltGr columns too
  uint8_t ShiftLock;     // 1: Caps Lock switches to the key's own Caps Lock columns (8..15)
  int32_t index;         // the key's own number (1..132)
};

// Typing `base` after the dead key `accent` gives `result`.
struct DeadKeyEntry {
  uint16_t accent;  // the dead key's character
  uint16_t base;    // the character typed after it
  uint16_t result;  // the character the two make together
};

// A scan code the layout maps to a VK but no key of the key table owns; kept
// so that writing the layout back loses nothing.
struct UnresolvedKey {
  uint16_t vk;       // the VK the scan code sends
  uint8_t scan;      // the scan code, without the prefix
  uint8_t extended;  // 1: the scan code comes with the E0 prefix
};

// Several characters one keystroke types at once.
struct LigatureCell {
  int32_t length;                                  // how many of `chars` are typed; 0 = no ligature here
  std::array<uint16_t, kMaxLigatureLength> chars;  // the characters, in order
};

struct KeyboardLayout {
  std::array<KeyRecord, kMaxKeys> keys;             // keys[n - 1] is key number n
  int32_t deadCount;                                // how many entries of `deadKeys` are used
  std::array<DeadKeyEntry, kMaxDeadKeys> deadKeys;  // what each dead key makes of the next character
  uint8_t altgr_used;     // 1: the right Alt key is AltGr (Ctrl+Alt), giving the AltGr columns
  uint8_t ShiftLockOrig;  // 1: Caps Lock is released by Shift, as on a typewriter, not by Caps Lock again
  uint8_t LRMRLM;         // 1: left or right Shift with Backspace types the left-to-right or right-to-left mark
  uint16_t lcid;          // the language the layout is for, as data files record it
  std::array<UnresolvedKey, kMaxUnresolved> unresolved;  // entries 1..500 at [0..499]
  int32_t unresolvedCount;                               // how many entries of `unresolved` are used
  uint8_t ligatureWidth;      // the longest ligature the library's table allows, in characters
  uint8_t ligatureEntrySize;  // the size in bytes of one entry of that table (0: the library had none)
  std::array<uint8_t, 8> ligatureSource;  // where the library kept that table, as read (4 or 8 bytes)
  std::array<std::array<LigatureCell, kLigatureColumns>, kLigatureRows> ligatures;  // [key number][column]

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
