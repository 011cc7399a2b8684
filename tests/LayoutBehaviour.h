#pragma once
// What Windows types with a loaded layout library, worked out from its tables
// alone and without the reader: for every VK, modifier mask and Caps Lock
// state the character, dead key or ligature of the first row of that VK; the
// dead-key compositions; and the scan-code map. Two libraries behave the same
// when their behaviours compare equal, whatever their bytes.

#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/LibraryLoader.h"
#include "tests/LayoutCheck.h"

namespace tastora::testing {

// 8: every reference field 8 bytes wide (x64, and x86 for 64-bit Windows);
// 4: plain 32-bit pointers (native 32-bit Windows).
enum class ReferenceWidth : uint8_t { Eight = 8, Four = 4 };

// A literal 0 in a character table. The model cannot carry NUL, so the 0 of
// the library read counts as nothing; a library we write must not invent one.
enum class Zeros : uint8_t { AsNothing, Kept };

inline constexpr uint8_t kShift = 1, kCtrl = 2, kAlt = 4;

struct KeyState {
  uint8_t vk = 0;
  uint8_t modifiers = 0;  // Shift 1, Ctrl 2, Alt 4
  bool capsLock = false;
  auto operator<=>(const KeyState&) const = default;
};

struct Typed {
  enum class Kind : uint8_t { Character, Dead, Ligature, Zero };
  Kind kind = Kind::Character;
  std::u16string text;  // the character, the accent of a dead key, a ligature's characters
  bool operator==(const Typed&) const = default;
};

struct LayoutBehaviour {
  std::map<KeyState, Typed> typed;  // states that type nothing are left out
  std::map<std::pair<uint16_t, uint16_t>, uint16_t> compositions;  // (accent, base) -> composed
  // Scan code (0xE000 added for the 0xE0 prefix) to VK with its flags; scan
  // codes without a key (VK 0 or 0xFF) are left out.
  std::map<uint16_t, uint16_t> scanCodes;
  std::vector<std::string> problems;  // tables that could not be read
  bool operator==(const LayoutBehaviour&) const = default;
};

LayoutBehaviour ComputeBehaviour(const ReadMemoryFn& read, uint64_t tables, ReferenceWidth width, Zeros zeros);

// The behaviour of a library loaded by `loader`; no value when its
// descriptor cannot be called.
std::optional<LayoutBehaviour> BehaviourOfLoadedLibrary(LibraryLoader& loader, LibraryHandle library,
                                                        ReferenceWidth width, Zeros zeros);

// "Shift+AltGr caps", "plain".
std::string DescribeState(uint8_t modifiers, bool capsLock);
// "'x'", "U+00E4", "dead U+00B4", "ligature '1/7'", "literal 0", "nothing".
std::string DescribeTyped(const std::optional<Typed>& typed);

// One line per difference, `expected` first: "VK 0x41 Shift+AltGr caps: 'x' vs nothing".
std::vector<std::string> DescribeDifferences(const LayoutBehaviour& expected, const LayoutBehaviour& actual);

}  // namespace tastora::testing
