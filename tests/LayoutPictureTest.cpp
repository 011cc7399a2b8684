// The SVG picture of a layout: text a keycap can show, the keyboard shapes,
// every key with characters in the picture, well-formed XML, and a golden
// picture that stays byte for byte.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <span>

#include "app/ExportLayout.h"
#include "app/LayoutPictures.h"
#include "app/cli/Commands.h"
#include "datafile/LayoutDataFile.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "picture/KeyboardShapes.h"
#include "picture/LayoutPicture.h"
#include "picture/SvgText.h"
#include "platform/offline/HostFileSystem.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/PeImageLoader.h"
#include "writer/TableParts.h"
#include "tests/TestFiles.h"
#include "tests/TestPorts.h"
#include "tests/TestProgram.h"
#include "tests/TestRoots.h"

namespace tastora {
namespace {

TEST(SvgText, KeyCapsShowWhatTheyType) {
  const struct {
    std::vector<uint16_t> units;
    const char* text;
    bool named;
  } cases[] = {
      {{'a'}, "a", false},
      {{0xE9}, "\xC3\xA9", false},
      {{0x1B}, "ESC", true},
      {{0x20}, "SP", true},
      {{0xA0}, "NBSP", true},
      {{0x7F}, "DEL", true},
      {{0x85}, "U+0085", true},
      {{0xFFFF}, "U+FFFF", true},
      {{0xD800}, "U+D800", true},                       // a lone surrogate is no character
      {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80", false},    // a pair is one
      {{0x0301}, "\xE2\x97\x8C\xCC\x81", false},        // a mark alone sits on a dotted circle
      {{'e', 0x0301}, "e\xCC\x81", false},              // after a letter it combines with it
      {{'a', 0x200D, 'b'}, "a ZWJ b", true},
      {{0x200C, 0x0308}, "ZWNJ \xE2\x97\x8C\xCC\x88", true},
  };
  for (const auto& c : cases) {
    const CapText cap = KeyCapText(c.units);
    EXPECT_EQ(cap.text, c.text) << std::hex << c.units.front();
    EXPECT_EQ(cap.named, c.named) << std::hex << c.units.front();
  }
}

TEST(SvgText, EscapesMarkupAndReplacesWhatXmlCannotCarry) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a&b<c>\"d'", "a&amp;b&lt;c&gt;&quot;d&apos;"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
      {"x\x01y", "x\xEF\xBF\xBDy"},        // a control character
      {"tab\there", "tab\there"},
      {"caf\xE9", "caf\xEF\xBF\xBD"},      // Latin-1, not UTF-8
      {"\xC3", "\xEF\xBF\xBD"},            // cut short
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // an encoded surrogate
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // an overlong form
  };
  for (const auto& c : cases) EXPECT_EQ(XmlEscaped(c.in), c.out) << c.in;
}

std::unique_ptr<KeyboardLayout> EmptyLayout(ProcessState& state) {
  auto layout = std::make_unique<KeyboardLayout>();
  Clear(*layout, state);
  return layout;
}

TEST(KeyboardShapes, TheLayoutsExtraKeysChooseTheShape) {
  const struct {
    std::vector<int> scans;  // keys given a character
    KeyboardShape shape;
  } cases[] = {
      {{}, KeyboardShape::Ansi},
      {{0x56}, KeyboardShape::Iso},
      {{0x73}, KeyboardShape::Abnt},
      {{0x7E}, KeyboardShape::Abnt},
      {{0x56, 0x73}, KeyboardShape::Abnt},
      {{0x7D}, KeyboardShape::Jis},
      {{0x70}, KeyboardShape::Jis},
      {{0x73, 0x79}, KeyboardShape::Jis},
      {{0x7B}, KeyboardShape::Jis},
  };
  ProcessState state;
  for (const auto& c : cases) {
    auto layout = EmptyLayout(state);
    for (int scan : c.scans) layout->Key(FindAnyKeyByScan(scan)).chars[0] = 'x';
    EXPECT_EQ(ShapeOfLayout(*layout), c.shape) << ::testing::PrintToString(c.scans);
    EXPECT_EQ(ParseShape(ShapeName(c.shape)), c.shape);
  }
  EXPECT_EQ(ParseShape("dvorak"), std::nullopt);
}

// A key's outline as rectangles: the ISO Enter is two.
std::vector<std::array<int, 4>> Rects(const KeyPlace& p) {
  if (p.lowerInset == 0) return {{p.x, p.y, p.x + p.w, p.y + p.h}};
  return {{p.x, p.y, p.x + p.w, p.y + p.h / 2}, {p.x + p.lowerInset, p.y + p.h / 2, p.x + p.w, p.y + p.h}};
}

TEST(KeyboardShapes, KeysLieInsideTheBoardWithoutOverlapEachOnce) {
  for (KeyboardShape shape : {KeyboardShape::Ansi, KeyboardShape::Iso, KeyboardShape::Abnt, KeyboardShape::Jis}) {
    SCOPED_TRACE(std::string(ShapeName(shape)));
    const auto places = KeyPlaces(shape);
    std::set<uint16_t> scans;
    std::vector<std::pair<uint16_t, std::array<int, 4>>> rects;
    for (const KeyPlace& p : places) {
      EXPECT_TRUE(scans.insert(p.scan).second) << std::hex << p.scan;
      EXPECT_GT(FindAnyKeyByScan(p.scan), 0) << std::hex << p.scan;
      for (const auto& r : Rects(p)) {
        EXPECT_TRUE(r[0] >= 0 && r[1] >= 0 && r[2] <= ShapeWidth() && r[3] <= ShapeHeight()) << std::hex << p.scan;
        for (const auto& [other, o] : rects)
          EXPECT_FALSE(r[0] < o[2] && o[0] < r[2] && r[1] < o[3] && o[1] < r[3])
              << std::hex << p.scan << " overlaps " << other;
        rects.push_back({p.scan, r});
      }
    }
    // The main block's rows all end where the Backspace row does.
    const int mainRight = 15 * kQuartersPerKey;
    for (const KeyPlace& p : places)
      if (p.x < mainRight) {
        EXPECT_LE(p.x + p.w, mainRight) << std::hex << p.scan;
      }
    // Each shape has its own keys, and only those.
    const bool jis = shape == KeyboardShape::Jis, abnt = shape == KeyboardShape::Abnt;
    EXPECT_EQ(scans.contains(0x56), shape == KeyboardShape::Iso || abnt);
    EXPECT_EQ(scans.contains(0x73), jis || abnt);
    EXPECT_EQ(scans.contains(0x7E), abnt);
    for (uint16_t scan : {0x70, 0x79, 0x7B, 0x7D}) EXPECT_EQ(scans.contains(scan), jis) << std::hex << scan;
  }
}

// The part of the picture that draws key `number`; empty when it is not drawn.
std::string KeyGroup(const std::string& svg, int number) {
  const std::string open = "<g data-key=\"" + std::to_string(number) + "\">";
  const size_t start = svg.find(open);
  if (start == std::string::npos) return "";
  EXPECT_EQ(svg.find(open, start + 1), std::string::npos) << "key " << number << " drawn twice";
  return svg.substr(start, svg.find("</g>", start) - start);
}

// Every character of the four keycap columns of a key that types them (one
// a library gets character rows for) is in its key's part of the picture,
// dead keys and ligatures marked; the other keys show no characters.
void ExpectEveryKeyShown(const KeyboardLayout& layout, const std::string& svg) {
  int shown = 0;
  for (int n = 1; n <= kLastKey; ++n) {
    const KeyRecord& key = layout.Key(n);
    const std::string group = KeyGroup(svg, n);
    if (!HasCharacterRows(key, n)) {
      EXPECT_EQ(group.find("class=\"c"), std::string::npos) << "key " << n;
      continue;
    }
    for (int column : {kColumnNormal, kColumnShift, kColumnAltGr, kColumnShiftAltGr}) {
      const size_t c = size_t(column);
      const LigatureCell& ligature = layout.ligatures[size_t(n)][c];
      if (ligature.length > 0) {
        const std::string first = KeyCapText(std::span(ligature.chars.data(), 1)).text;
        EXPECT_NE(group.find(" g\">" + XmlEscaped(first)), std::string::npos) << "key " << n << " column " << column;
        ++shown;
      } else if (key.chars[c] != 0 && key.chars[c] != 0xF002) {
        const std::string text = XmlEscaped(KeyCapText(std::span(&key.chars[c], 1)).text);
        const std::string mark = key.dead[c] ? " d\">" : "\">";
        EXPECT_NE(group.find(mark + text + "</text>"), std::string::npos) << "key " << n << " column " << column;
        ++shown;
      }
    }
  }
  EXPECT_GT(shown, 10);
}

// Whether python3's XML parser takes every file as an SVG document; nothing
// when there is no python3.
std::optional<bool> ParseAsSvg(const std::vector<std::string>& paths) {
  if (testing::RunShell("command -v python3").status != 0) return std::nullopt;
  std::string command =
      "python3 -c 'import sys, xml.dom.minidom as m\n"
      "for f in sys.argv[1:]:\n"
      "  assert m.parse(f).documentElement.tagName == \"svg\", f' ";
  for (const std::string& path : paths) command += " " + testing::Quote(path);
  const auto run = testing::RunShell(command);
  EXPECT_EQ(run.err, "");
  return run.status == 0;
}

// A layout with what a picture must be careful of: markup characters,
// controls, lone marks and surrogates, long ligatures, a key the board has
// no place for, and a key given another key's function.
std::unique_ptr<KeyboardLayout> AwkwardLayout(ProcessState& state) {
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  KeyRecord& a = layout->Key(27);
  a.chars = {'&', '<', 0, 0, 0, 0, '>', '"'};
  KeyRecord& s = layout->Key(28);
  s.chars = {'\'', 0x1B, 0, 0, 0, 0, 0x0301, 0xD800};
  s.dead[6] = 1;
  layout->Key(29).chars[0] = 0xF002;
  layout->ligatures[29][0] = {6, {'<', 'x', 0xD83D, 0xDE00, 'y', 'z'}};
  layout->Key(113).chars[6] = 0x2603;  // Mute, drawn below the board
  layout->Key(113).AssignedChar = 1;
  layout->Key(73).Mapped = 103;
  layout->deadKeys[0] = {0x0301, '&', 0xFFFF};
  layout->deadCount = 1;
  return layout;
}

TEST(LayoutPicture, EveryKeyWithCharactersIsShownInWellFormedXml) {
  HostFileSystem host;
  IconvCodePages codePages;
  testing::RecordingDialogs dialogs;
  const testing::TempDir dir;
  struct Case {
    std::string name;
    std::unique_ptr<KeyboardLayout> layout;
  };
  std::vector<Case> cases;
  for (const std::string& path : testing::ExampleFiles()) {
    ProcessState state;
    auto layout = EmptyLayout(state);
    ASSERT_TRUE(ImportLayoutFile(path, *layout, state, DataFilePorts{host, dialogs, codePages}));
    cases.push_back({LayoutNameOfPath(path), std::move(layout)});
  }
  ProcessState state;
  cases.push_back({"awkward <&> \x01", AwkwardLayout(state)});
  std::vector<std::string> files;
  for (const Case& c : cases) {
    // Every shape, so that keys it has no place for go below the board.
    for (KeyboardShape shape : {KeyboardShape::Ansi, KeyboardShape::Iso, KeyboardShape::Abnt, KeyboardShape::Jis}) {
      SCOPED_TRACE(c.name + " " + std::string(ShapeName(shape)));
      const std::string svg = LayoutPicture(*c.layout, {c.name, "L\xC3\xA4nder"}, shape);
      EXPECT_EQ(svg, LayoutPicture(*c.layout, {c.name, "L\xC3\xA4nder"}, shape));
      ExpectEveryKeyShown(*c.layout, svg);
      files.push_back(dir / (std::to_string(files.size()) + ".svg"));
      testing::WriteHost(files.back(), svg);
    }
  }
  EXPECT_NE(ParseAsSvg(files), std::optional<bool>(false));
  const std::string awkward = LayoutPicture(*cases.back().layout, {"x", ""}, KeyboardShape::Iso);
  EXPECT_NE(awkward.find(">Left Ctrl</text>"), std::string::npos);              // Caps Lock's new function
  EXPECT_NE(awkward.find("\xE2\x80\x83&amp;\xE2\x86\x92U+FFFF"), std::string::npos);  // a composition
  EXPECT_NE(awkward.find("&lt;x\xF0\x9F\x98\x80\xE2\x80\xA6</text>"), std::string::npos);  // cut after the pair
}

TEST(LayoutPicture, LibrariesArePicturedThroughTheSameReader) {
  const std::string path = std::string(TASTORA_TEST_LAYOUTS_DIR) + "/features-x86_64.dll";
  if (!std::ifstream(path)) GTEST_SKIP() << "no MinGW-built libraries";
  HostFileSystem host;
  IconvCodePages codePages;
  PeImageLoader loader;
  testing::RecordingDialogs dialogs;
  ProcessState state;
  const auto svg = PictureOfLayoutFile(path, std::nullopt, state, LayoutSourcePorts{host, dialogs, codePages, loader});
  ASSERT_TRUE(svg);
  auto layout = EmptyLayout(state);
  ASSERT_TRUE(ReadAnyLayoutFile(path, *layout, state, LayoutSourcePorts{host, dialogs, codePages, loader}));
  ExpectEveryKeyShown(*layout, *svg);
  EXPECT_NE(svg->find("<title>features-x86_64"), std::string::npos);
}

TEST(LayoutPicture, GoldenPictureByteForByte) {
  const bool update = std::getenv("TASTORA_UPDATE_GOLDEN") && std::string(std::getenv("TASTORA_UPDATE_GOLDEN")) == "1";
  const std::string golden = std::string(TASTORA_TEST_DATA) + "/golden/tastora-demo.svg";
  const testing::TempDir dir;
  int status = -1;
  const std::string said = testing::RunCapturing(
      {"picture", std::string(TASTORA_SOURCE_DIR) + "/examples/tastora-demo.vyr2000", "-o", dir / "demo.svg"}, status);
  ASSERT_EQ(status, kExitOk) << said;
  const std::string svg = testing::ReadHost(dir / "demo.svg");
  if (update) testing::WriteHost(golden, svg);
  const std::string expected = testing::ReadHost(golden);
  ASSERT_FALSE(expected.empty()) << "missing; run with TASTORA_UPDATE_GOLDEN=1 to write it";
  EXPECT_TRUE(svg == expected) << "the picture changed; run with TASTORA_UPDATE_GOLDEN=1 if that was meant";
}

TEST(PictureCommand, FilesAndCatalogueEntries) {
  const testing::TempDir dir;
  testing::MakeRoot(dir / "root", RootWindows::Windows10, testing::RootContents::kInitialized);
  const std::string french = std::string(TASTORA_SOURCE_DIR) + "/examples/french.vyr2000";
  const struct {
    std::vector<std::string> args;
    int status;
    const char* inPicture;  // what the written picture holds
    const char* said;       // what the command said
  } cases[] = {
      {{french, "-o", dir / "out.svg"}, kExitOk, "<title>french (French (Standard))</title>", ""},
      {{french, "--shape", "jis", "-o", dir / "out.svg"}, kExitOk, "JIS keyboard", ""},
      {{"--root", dir / "root", "0", "-o", dir / "out.svg"}, kExitOk, "<title>US (", ""},
      {{"--root", dir / "root", "99", "-o", dir / "out.svg"}, kExitFailure, nullptr, "no layout at position 99"},
      {{"--root", dir / "root", french}, kExitUsage, nullptr, "catalogue position, not a file"},
      {{french, "--shape", "dvorak"}, kExitUsage, nullptr, "'dvorak' is not a value of --shape"},
      {{dir / "missing.vyr2000", "-o", dir / "out.svg"}, kExitFailure, nullptr, "was not read as a complete layout"},
      {{}, kExitUsage, nullptr, "missing FILE|POS"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    std::filesystem::remove(dir / "out.svg");
    int status = -1;
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "picture");
    const std::string said = testing::RunCapturing(args, status);
    EXPECT_EQ(status, c.status) << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    const std::string svg = testing::ReadHost(dir / "out.svg");
    if (c.inPicture) {
      EXPECT_NE(svg.find(c.inPicture), std::string::npos) << svg.substr(0, 400);
    } else {
      EXPECT_EQ(svg, "");
    }
  }
}

}  // namespace
}  // namespace tastora
