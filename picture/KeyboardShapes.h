#pragma once
// The physical keyboards a layout is drawn on: where each key lies, by the
// scan code it sends. Positions are in quarters of a key's width, so that
// every drawing is made of whole numbers and comes out the same each time.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tastora {

struct KeyboardLayout;

enum class KeyboardShape : uint8_t { Ansi, Iso, Abnt, Jis };

struct KeyPlace {
  uint16_t scan;       // 0x100 added for the E0 prefix
  int16_t x, y, w, h;  // quarters of a key's width; the Enter of ISO keyboards spans two rows
  int16_t lowerInset;  // > 0: an ISO Enter, its lower row that much narrower on the left
  const char* label;   // what the key is called when it types nothing; nullptr for a typing key
};

inline constexpr int kQuartersPerKey = 4;

// Every key of the shape: the function row, the main block, the navigation
// block and the numeric keypad.
std::span<const KeyPlace> KeyPlaces(KeyboardShape shape);
// The width and height of the whole shape, in quarters.
int ShapeWidth();
int ShapeHeight();

// The shape whose extra keys the layout gives characters: JIS for the
// Japanese keys (Yen, Katakana/Hiragana, Convert, Nonconvert), ABNT for
// the Brazilian ones, ISO for the key left of Z, ANSI otherwise.
KeyboardShape ShapeOfLayout(const KeyboardLayout& layout);

// "ansi", "iso", "abnt", "jis".
std::string_view ShapeName(KeyboardShape shape);
std::optional<KeyboardShape> ParseShape(std::string_view name);

}  // namespace tastora
