#include "picture/KeyboardShapes.h"

#include <array>
#include <initializer_list>
#include <vector>

#include "model/KeyboardLayout.h"

namespace tastora {
namespace {

constexpr int16_t kU = kQuartersPerKey;
// Rows: the function row, a gap of half a key, then the five rows of the main block.
constexpr int16_t kRowY[] = {0, 6, 10, 14, 18, 22};
constexpr int16_t kNavX = 61;     // the navigation block, a quarter key right of the main block
constexpr int16_t kKeypadX = 74;  // the numeric keypad
constexpr int kWidth = kKeypadX + 4 * kU;
constexpr int kHeight = kRowY[5] + kU;

class ShapeBuilder {
 public:
  explicit ShapeBuilder(KeyboardShape shape) : shape_(shape) {}

  bool Is(KeyboardShape shape) const { return shape_ == shape; }
  // A key of the given size; the next one goes right of it.
  ShapeBuilder& Key(uint16_t scan, int16_t w, const char* label = nullptr, int16_t h = kU, int16_t lowerInset = 0) {
    places_.push_back({scan, x_, y_, w, h, lowerInset, label});
    x_ = static_cast<int16_t>(x_ + w);
    return *this;
  }
  // Typing keys of one key width, one after another.
  ShapeBuilder& Typing(std::initializer_list<uint16_t> scans) {
    for (uint16_t scan : scans) Key(scan, kU);
    return *this;
  }
  ShapeBuilder& At(int16_t x, int row) {
    x_ = x;
    y_ = kRowY[row];
    return *this;
  }
  std::vector<KeyPlace> Done() { return std::move(places_); }

 private:
  KeyboardShape shape_;
  std::vector<KeyPlace> places_;
  int16_t x_ = 0;
  int16_t y_ = 0;
};

std::vector<KeyPlace> Build(KeyboardShape shape) {
  using enum KeyboardShape;
  ShapeBuilder b(shape);
  const bool jis = b.Is(Jis), ansi = b.Is(Ansi), abnt = b.Is(Abnt);

  b.At(0, 0).Key(0x01, kU, "Esc");
  b.At(8, 0).Key(0x3B, kU, "F1").Key(0x3C, kU, "F2").Key(0x3D, kU, "F3").Key(0x3E, kU, "F4");
  b.At(26, 0).Key(0x3F, kU, "F5").Key(0x40, kU, "F6").Key(0x41, kU, "F7").Key(0x42, kU, "F8");
  b.At(44, 0).Key(0x43, kU, "F9").Key(0x44, kU, "F10").Key(0x57, kU, "F11").Key(0x58, kU, "F12");
  b.At(kNavX, 0).Key(0x54, kU, "PrtSc").Key(0x46, kU, "ScrLk").Key(0x146, kU, "Pause");

  b.At(0, 1).Typing({0x29, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D});
  if (jis) b.Key(0x7D, kU, "¥").Key(0x0E, kU, "Back");
  else b.Key(0x0E, 2 * kU, "Backspace");
  b.At(kNavX, 1).Key(0x152, kU, "Ins").Key(0x147, kU, "Home").Key(0x149, kU, "PgUp");
  b.At(kKeypadX, 1).Key(0x45, kU, "Num").Typing({0x135, 0x37, 0x4A});

  b.At(0, 2).Key(0x0F, 6, "Tab").Typing({0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B});
  if (ansi) b.Key(0x2B, 6);
  else b.Key(0x1C, 6, "Enter", 2 * kU, 1);
  b.At(kNavX, 2).Key(0x153, kU, "Del").Key(0x14F, kU, "End").Key(0x151, kU, "PgDn");
  b.At(kKeypadX, 2).Typing({0x47, 0x48, 0x49}).Key(0x4E, kU, nullptr, abnt ? kU : 2 * kU);

  b.At(0, 3).Key(0x3A, 7, "Caps Lock").Typing({0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28});
  if (ansi) b.Key(0x1C, 9, "Enter");
  else b.Key(0x2B, kU);
  b.At(kKeypadX, 3).Typing({0x4B, 0x4C, 0x4D});
  if (abnt) b.Typing({0x7E});

  if (ansi || jis) b.At(0, 4).Key(0x2A, 9, "Shift");
  else b.At(0, 4).Key(0x2A, 5, "Shift").Typing({0x56});
  b.Typing({0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35});
  if (abnt || jis) b.Key(0x73, kU, jis ? "Ro" : nullptr).Key(0x36, 7, "Shift");
  else b.Key(0x36, 11, "Shift");
  b.At(kNavX + kU, 4).Key(0x148, kU, "↑");
  b.At(kKeypadX, 4).Typing({0x4F, 0x50, 0x51}).Key(0x11C, kU, "Enter", 2 * kU);

  b.At(0, 5).Key(0x1D, 5, "Ctrl").Key(0x15B, 5, "Win").Key(0x38, 5, "Alt");
  if (jis) b.Key(0x7B, 5, "Nonconv").Key(0x39, 10, "Space").Key(0x79, 5, "Conv").Key(0x70, 5, "Kana");
  else b.Key(0x39, 25, "Space");
  b.Key(0x138, 5, "AltGr").Key(0x15C, 5, "Win").Key(0x15D, 5, "Menu").Key(0x11D, 5, "Ctrl");
  b.At(kNavX, 5).Key(0x14B, kU, "←").Key(0x150, kU, "↓").Key(0x14D, kU, "→");
  b.At(kKeypadX, 5).Key(0x52, 2 * kU).Typing({0x53});
  return b.Done();
}

bool ScanHasCharacters(const KeyboardLayout& layout, int scan) {
  const int key = FindAnyKeyByScan(scan);
  return key > 0 && HasCharacters(layout.Key(key));
}

bool AnyHasCharacters(const KeyboardLayout& layout, std::initializer_list<int> scans) {
  for (int scan : scans)
    if (ScanHasCharacters(layout, scan)) return true;
  return false;
}

constexpr std::string_view kShapeNames[] = {"ansi", "iso", "abnt", "jis"};

}  // namespace

std::span<const KeyPlace> KeyPlaces(KeyboardShape shape) {
  static const std::array<std::vector<KeyPlace>, 4> kShapes = {
      Build(KeyboardShape::Ansi), Build(KeyboardShape::Iso), Build(KeyboardShape::Abnt), Build(KeyboardShape::Jis)};
  return kShapes[static_cast<size_t>(shape)];
}

int ShapeWidth() { return kWidth; }
int ShapeHeight() { return kHeight; }

KeyboardShape ShapeOfLayout(const KeyboardLayout& layout) {
  // The Japanese keyboard has the Brazilian key 0x73 too (Ro): its own keys decide first.
  if (AnyHasCharacters(layout, {0x70, 0x7D, 0x79, 0x7B})) return KeyboardShape::Jis;
  if (AnyHasCharacters(layout, {0x73, 0x7E})) return KeyboardShape::Abnt;
  if (ScanHasCharacters(layout, 0x56)) return KeyboardShape::Iso;
  return KeyboardShape::Ansi;
}

std::string_view ShapeName(KeyboardShape shape) { return kShapeNames[static_cast<size_t>(shape)]; }

std::optional<KeyboardShape> ParseShape(std::string_view name) {
  for (size_t i = 0; i < std::size(kShapeNames); ++i)
    if (kShapeNames[i] == name) return static_cast<KeyboardShape>(i);
  return std::nullopt;
}

}  // namespace tastora
