#include "picture/LayoutPicture.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "model/KeyFunctions.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "picture/SvgText.h"

namespace tastora {
namespace {

constexpr int kPx = 12;       // pixels per quarter of a key
constexpr int kMargin = 16;
constexpr int kBoardTop = 76;  // below the title
constexpr int kInset = 2;     // half the gap between two keys
constexpr int kPad = 6;       // from a key's edge to its characters
constexpr int kLineHeight = 20;
constexpr int kOtherKeyWidth = 3 * kQuartersPerKey;
constexpr size_t kMaxShownLigature = 4;    // units; longer ones are cut and end in an ellipsis
constexpr size_t kCompositionsPerLine = 16;
constexpr size_t kMaxCompositionsShown = 48;

// The kbd tables' markers for "none", "dead" and "ligature": not characters a key shows.
constexpr uint16_t kFirstMarker = 0xF000, kLastMarker = 0xF002;

struct Corner {
  int column;
  bool top;
  bool right;
};
// Shift and Shift+AltGr above, Base and AltGr below, as keycaps print them.
constexpr Corner kCorners[] = {
    {kColumnShift, true, false}, {kColumnShiftAltGr, true, true}, {kColumnNormal, false, false}, {kColumnAltGr, false, true}};

constexpr char kStyle[] =
    "text{font-family:'Segoe UI','DejaVu Sans','Noto Sans',sans-serif;fill:#1a1a1a}"
    ".k{fill:#fdfdfd;stroke:#8c8c8c}.f{fill:#e4e4e4;stroke:#8c8c8c}.mk{fill:#fff1cc;stroke:#8c8c8c}"
    ".c{font-size:15px}.e{text-anchor:end}.n{font-size:8px}.d{fill:#c62828;font-weight:bold}.g{fill:#1565c0}"
    ".l{font-size:9px;fill:#555;text-anchor:middle}.m{font-style:italic;fill:#a15c00}"
    ".a{font-size:17px}.t{font-size:22px;font-weight:bold}.s{font-size:13px;fill:#444}.h{font-size:13px}";

// What one column of a key shows.
struct Cell {
  CapText cap;
  bool dead = false;
  bool ligature = false;
};

std::optional<Cell> CellOf(const KeyboardLayout& layout, int number, int column) {
  const KeyRecord& key = layout.Key(number);
  const size_t c = static_cast<size_t>(column);
  if (number < kLigatureRows) {
    const LigatureCell& ligature = layout.ligatures[static_cast<size_t>(number)][c];
    if (ligature.length > 0) {
      const size_t length = std::min(static_cast<size_t>(ligature.length), ligature.chars.size());
      size_t shown = length <= kMaxShownLigature ? length : kMaxShownLigature - 1;
      // A cut never splits a surrogate pair.
      if (shown < length && ligature.chars[shown - 1] >= 0xD800 && ligature.chars[shown - 1] <= 0xDBFF) ++shown;
      Cell cell{KeyCapText(std::span(ligature.chars.data(), shown)), false, true};
      if (shown < length) AppendUtf8(cell.cap.text, 0x2026);
      return cell;
    }
  }
  const uint16_t ch = key.chars[c];
  const bool dead = key.dead[c] != 0;
  if (!dead && (ch == 0 || (ch >= kFirstMarker && ch <= kLastMarker))) return std::nullopt;
  return Cell{KeyCapText(std::span(&ch, 1)), dead, false};
}

// Whether the key types the characters it holds: a key given another key's
// function does not, nor does a modifier, lock or function key unless the
// user gave it characters (Esc, Tab, Enter and Space hold their control
// characters, which are not keycap text).
bool TypesCharacters(const KeyboardLayout& layout, int number) {
  const KeyRecord& key = layout.Key(number);
  if (key.Mapped != 0) return false;
  return number < kFirstNonTypingKey || number >= kFirstExtraKey || key.AssignedChar != 0;
}

bool HasCells(const KeyboardLayout& layout, int number) {
  if (!TypesCharacters(layout, number)) return false;
  for (const Corner& corner : kCorners)
    if (CellOf(layout, number, corner.column)) return true;
  return false;
}

// What the picture used, so that the legend explains it and nothing else.
struct Marks {
  bool dead = false;
  bool ligature = false;
  bool mapped = false;
};

class Svg {
 public:
  std::string& Out() { return out_; }
  void Text(int x, int y, std::string_view classes, std::string_view escaped) {
    out_ += "<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" class=\"";
    out_ += classes;
    out_ += "\">";
    out_ += escaped;
    out_ += "</text>\n";
  }
  void Rect(int x, int y, int w, int h, std::string_view cls) {
    out_ += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" + std::to_string(w) +
            "\" height=\"" + std::to_string(h) + "\" rx=\"4\" class=\"";
    out_ += cls;
    out_ += "\"/>\n";
  }
  // The Enter key of ISO keyboards: two rows, the lower narrower on the left.
  void IsoEnter(int x, int y, int w, int h, int inset, std::string_view cls) {
    const int row = h / 2;
    out_ += "<path d=\"M" + std::to_string(x) + " " + std::to_string(y) + "H" + std::to_string(x + w) + "V" +
            std::to_string(y + h) + "H" + std::to_string(x + inset) + "V" + std::to_string(y + row) + "H" +
            std::to_string(x) + "Z\" class=\"";
    out_ += cls;
    out_ += "\"/>\n";
  }

 private:
  std::string out_;
};

struct Box {
  int x, y, w, h;   // pixels, the key's outline
  int lowerInset;   // pixels; an ISO Enter
};

void DrawCorners(Svg& svg, const KeyboardLayout& layout, int number, const Box& box, Marks& marks) {
  for (const Corner& corner : kCorners) {
    const auto cell = CellOf(layout, number, corner.column);
    if (!cell) continue;
    std::string classes = "c";
    if (corner.right) classes += " e";
    if (cell->cap.named) classes += " n";
    if (cell->dead) classes += " d";
    if (cell->ligature) classes += " g";
    marks.dead = marks.dead || cell->dead;
    marks.ligature = marks.ligature || cell->ligature;
    const int x = corner.right ? box.x + box.w - kPad : box.x + box.lowerInset + kPad;
    const int y = corner.top ? box.y + 17 : box.y + box.h - 7;
    svg.Text(x, y, classes, XmlEscaped(cell->cap.text));
  }
}

// One key: its outline, its characters, and its name (the function it was
// given, else its own) where it types nothing, is not a typing key, or
// `alwaysNamed` says so (a key away from its place on the board).
void DrawKey(Svg& svg, const KeyboardLayout& layout, int number, const Box& box, const char* label, bool alwaysNamed,
             Marks& marks) {
  const KeyRecord* key = number > 0 ? &layout.Key(number) : nullptr;
  const KeyFunction* function = key && key->Mapped != 0 ? FindKeyFunction(key->Mapped) : nullptr;
  const bool typing = number > 0 && (number < kFirstNonTypingKey || number >= kFirstExtraKey) && number != kLastKey;
  const char* cls = function ? "mk" : typing ? "k" : "f";
  svg.Out() += "<g data-key=\"" + std::to_string(number) + "\">\n";
  const Box outline{box.x + kInset, box.y + kInset, box.w - 2 * kInset, box.h - 2 * kInset, box.lowerInset};
  if (box.lowerInset > 0)
    svg.IsoEnter(outline.x, outline.y, outline.w, outline.h, outline.lowerInset, cls);
  else
    svg.Rect(outline.x, outline.y, outline.w, outline.h, cls);
  const bool cells = number > 0 && HasCells(layout, number);
  if (cells) DrawCorners(svg, layout, number, outline, marks);
  std::string name = function && function->name[0] != '\0' ? function->name : label ? label : "";
  if (!name.empty() && (!cells || !typing || alwaysNamed)) {
    const int cx = outline.x + outline.lowerInset + (outline.w - outline.lowerInset) / 2;
    svg.Text(cx, outline.y + outline.h / 2 + 4, function ? "l m" : "l", XmlEscaped(name));
  }
  marks.mapped = marks.mapped || function != nullptr;
  svg.Out() += "</g>\n";
}

// The dead keys' compositions, one accent after another in the order the
// table first names them.
int DrawCompositions(Svg& svg, const KeyboardLayout& layout, int y) {
  std::vector<uint16_t> accents;
  std::map<uint16_t, std::vector<const DeadKeyEntry*>> byAccent;
  const int count = std::clamp(layout.deadCount, 0, kMaxDeadKeys);
  for (int i = 0; i < count; ++i) {
    const DeadKeyEntry& entry = layout.deadKeys[static_cast<size_t>(i)];
    auto& list = byAccent[entry.accent];
    if (list.empty()) accents.push_back(entry.accent);
    list.push_back(&entry);
  }
  for (uint16_t accent : accents) {
    const auto& list = byAccent[accent];
    std::string line = "<tspan class=\"d a\">" + XmlEscaped(KeyCapText(std::span(&accent, 1)).text) + "</tspan>";
    const size_t shown = std::min(list.size(), kMaxCompositionsShown);
    for (size_t i = 0; i < shown; ++i) {
      if (i > 0 && i % kCompositionsPerLine == 0) {
        svg.Text(kMargin, y, "h", line);
        y += kLineHeight;
        line = "<tspan class=\"d\"> </tspan>";
      }
      std::string pair = KeyCapText(std::span(&list[i]->base, 1)).text;
      AppendUtf8(pair, 0x2192);
      pair += KeyCapText(std::span(&list[i]->result, 1)).text;
      line += "\u2003" + XmlEscaped(pair);
    }
    if (shown < list.size()) line += "\u2003\u2026 " + std::to_string(list.size() - shown) + " more";
    svg.Text(kMargin, y, "h", line);
    y += kLineHeight;
  }
  return y;
}

// The sample keycap and what each mark means; returns the height used.
int DrawLegend(Svg& svg, const KeyboardLayout& layout, const Marks& marks, int y) {
  const int w = 3 * kQuartersPerKey * kPx, h = kQuartersPerKey * kPx;
  svg.Rect(kMargin + kInset, y + kInset, w - 2 * kInset, h - 2 * kInset, "k");
  svg.Text(kMargin + kInset + kPad, y + 19, "c n", "Shift");
  svg.Text(kMargin + w - kInset - kPad, y + 19, "c n e", "Shift+AltGr");
  svg.Text(kMargin + kInset + kPad, y + h - 9, "c n", "Base");
  svg.Text(kMargin + w - kInset - kPad, y + h - 9, "c n e", "AltGr");
  int x = kMargin + w + 16;
  const int baseline = y + h / 2 + 5;
  if (marks.dead) {
    svg.Text(x, baseline, "h", "<tspan class=\"d\">red</tspan>: dead key (type it, then a letter)");
    x += 280;
  }
  if (marks.ligature) {
    svg.Text(x, baseline, "h", "<tspan class=\"g\">blue</tspan>: ligature (several characters at once)");
    x += 300;
  }
  if (marks.mapped) svg.Text(x, baseline, "h", "<tspan class=\"m\">italic</tspan>: key given another key&apos;s function");
  y += h + kLineHeight;
  return DrawCompositions(svg, layout, y);
}

}  // namespace

std::string LayoutPicture(const KeyboardLayout& layout, const PictureTitle& title, KeyboardShape shape) {
  Svg svg;
  Marks marks;
  const std::string name = title.name.empty() ? "Keyboard layout" : title.name;
  std::string subtitle = title.language.empty() ? "" : title.language + " \u00B7 ";
  for (char c : ShapeName(shape)) subtitle += static_cast<char>(c - 'a' + 'A');
  subtitle += " keyboard";
  svg.Text(kMargin, 36, "t", XmlEscaped(name));
  svg.Text(kMargin, 58, "s", XmlEscaped(subtitle));

  std::array<bool, kLastKey + 1> placed{};
  for (const KeyPlace& place : KeyPlaces(shape)) {
    const int number = FindAnyKeyByScan(place.scan);
    if (number > 0) placed[static_cast<size_t>(number)] = true;
    const char* label = place.scan == 0x138 && !layout.altgr_used ? "Alt" : place.label;
    const Box box{kMargin + place.x * kPx, kBoardTop + place.y * kPx, place.w * kPx, place.h * kPx,
                  place.lowerInset * kPx};
    DrawKey(svg, layout, number, box, label, false, marks);
  }
  int y = kBoardTop + ShapeHeight() * kPx + 12;

  // Keys with characters that this keyboard has no place for.
  std::vector<int> others;
  for (int n = 1; n <= kLastKey; ++n)
    if (!placed[static_cast<size_t>(n)] && HasCells(layout, n)) others.push_back(n);
  if (!others.empty()) {
    svg.Text(kMargin, y + 16, "h", "Other keys with characters:");
    y += 24;
    const int perRow = ShapeWidth() / kOtherKeyWidth;
    for (size_t i = 0; i < others.size(); ++i) {
      const int column = static_cast<int>(i) % perRow;
      if (i > 0 && column == 0) y += kQuartersPerKey * kPx;
      const Box box{kMargin + column * kOtherKeyWidth * kPx, y, kOtherKeyWidth * kPx, kQuartersPerKey * kPx, 0};
      DrawKey(svg, layout, others[i], box, KeyRow(others[i]).description, true, marks);
    }
    y += kQuartersPerKey * kPx + 12;
  }
  y = DrawLegend(svg, layout, marks, y);

  const int width = 2 * kMargin + ShapeWidth() * kPx;
  const int height = y + kMargin;
  std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  doc += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
         std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) + "\">\n";
  doc += "<title>" + XmlEscaped(title.language.empty() ? name : name + " (" + title.language + ")") + "</title>\n";
  doc += std::string("<style>") + kStyle + "</style>\n";
  doc += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  doc += svg.Out();
  doc += "</svg>\n";
  return doc;
}

}  // namespace tastora
