#include <gtest/gtest.h>

#include <memory>

#include "model/FontScripts.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/offline/IconvCodePages.h"

namespace tastora {
namespace {

TEST(FontScripts, CodePageAndScriptTables) {
  const struct {
    int script;
    unsigned codePage;
  } pages[] = {{0, 1252}, {1, 0}, {161, 1253}, {162, 1254}, {186, 1257}, {204, 1251}, {238, 1250}, {2, 1}, {177, 1}};
  for (const auto& p : pages) EXPECT_EQ(CodePageOfScript(p.script), p.codePage) << p.script;
  const struct {
    uint16_t ch;
    int script;
  } chars[] = {{0xFF, 0}, {0x100, 238}, {0x1FF, 238}, {0x200, 0}, {0x2FF, 0}, {0x300, 161},
               {0x3FF, 161}, {0x400, 204}, {0x4FF, 204}, {0x500, 0}, {0x20AC, 0}};
  for (const auto& c : chars) EXPECT_EQ(ScriptOfChar(c.ch), c.script) << c.ch;
}

TEST(FontScripts, NarrowAndWideConversions) {
  IconvCodePages pages;
  EuroConversion euro;
  EuroConversion euroOn{true, 8364, 136};
  const struct {
    uint16_t wide;
    int script;
    const EuroConversion* euro;
    uint8_t narrow;
  } cases[] = {
      {0x20AC, 0, &euro, 0x80},    // the Euro sign from the code page
      {0x20AC, 0, &euroOn, 136},   // the Euro settings win over the code page
      {0x20AC, 204, &euroOn, 136},
      {0x0416, 204, &euro, 0xC6},  // Cyrillic Zhe in 1251
      {0x0416, 0, &euro, '?'},     // not in 1252
      {0x0151, 238, &euro, 0xF5},  // o with double acute in 1250
      {0x03A9, 161, &euro, 0xD9},  // Greek Omega in 1253
      {0x011F, 162, &euro, 0xF0},  // g with breve in 1254
      {0x0173, 186, &euro, 0xF8},  // u with ogonek in 1257
      {0x00E9, 1, &euro, 0xE9},    // the system code page stands for 1252 here
      {0x00E9, 2, &euro, 0x82},    // any other script: the OEM code page (437)
      {u'A', 204, &euro, 'A'},
      {0, 0, &euro, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wide);
    EXPECT_EQ(ToNarrow(c.wide, c.script, *c.euro, pages), c.narrow);
    if (c.narrow != 0x3F && c.euro == &euro) {
      EXPECT_EQ(ToWide(c.narrow, c.script, pages), c.wide);
    }
  }
  EXPECT_EQ(ToWide(0x81, 0, pages), 0x81);  // undefined in 1252: passes through
}

TEST(FontScripts, NarrowLayoutChoosesTheCommonestScriptAboveZero) {
  IconvCodePages pages;
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  Clear(*layout, state);
  for (int n = 1; n <= 30; ++n) layout->Key(n).chars[0] = static_cast<uint16_t>(0xC0 + n);  // Latin-1
  layout->Key(31).chars[1] = 0x0416;
  layout->Key(32).chars[6] = 0x0436;
  layout->Key(33).chars[9] = 0x0100;  // Caps Lock slots do not count
  layout->Key(33).chars[10] = 0x0101;
  layout->Key(33).CapsAware = 1;
  layout->deadCount = 1;
  layout->deadKeys[0] = {0x0401, 0x0435, 0x0451};
  layout->ligatures[40][1].length = 2;
  layout->ligatures[40][1].chars = {0x0416, 0x0436, 0x0416};
  NarrowLayout(*layout, true, state, pages);
  EXPECT_EQ(state.displayScript, 204);
  EXPECT_EQ(layout->Key(31).chars[1], 0xC6);
  EXPECT_EQ(layout->Key(32).chars[6], 0xE6);
  EXPECT_EQ(layout->Key(1).chars[0], '?');   // U+00C1 is not in 1251
  EXPECT_EQ(layout->Key(33).chars[9], '?');
  EXPECT_EQ(layout->Key(33).CapsAware2, 1);
  EXPECT_EQ(layout->deadKeys[0].accent, 0xA8);
  EXPECT_EQ(layout->deadKeys[0].result, 0xB8);
  EXPECT_EQ(layout->ligatures[40][1].chars[1], 0xE6);
  EXPECT_EQ(layout->ligatures[40][1].chars[2], 0x0416);  // past the cell's length

  // Without conversion only CapsAware2 follows CapsAware; the display script resets.
  Clear(*layout, state);
  layout->Key(5).chars[0] = 0x0416;
  layout->Key(5).CapsAware2 = 1;
  NarrowLayout(*layout, false, state, pages);
  EXPECT_EQ(state.displayScript, 0);
  EXPECT_EQ(layout->Key(5).chars[0], 0x0416);
  EXPECT_EQ(layout->Key(5).CapsAware2, 0);

  // A tie goes to the lower script; nothing outside script 0 gives 0.
  Clear(*layout, state);
  layout->Key(1).chars[0] = 0x0416;
  layout->Key(2).chars[0] = 0x0151;
  NarrowLayout(*layout, true, state, pages);
  EXPECT_EQ(state.displayScript, 204);
  Clear(*layout, state);
  layout->Key(1).chars[0] = u'x';
  NarrowLayout(*layout, true, state, pages);
  EXPECT_EQ(state.displayScript, 0);
}

TEST(FontScripts, WidenLayoutUsesTheGivenScriptUnlessSkipped) {
  IconvCodePages pages;
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  Clear(*layout, state);
  layout->Key(10).chars[15] = 0xC6;
  layout->deadCount = 1;
  layout->deadKeys[0] = {0xA8, 0xE5, 0xB8};
  WidenLayout(*layout, true, 204, pages);
  EXPECT_EQ(layout->Key(10).chars[15], 0xC6);
  WidenLayout(*layout, false, 204, pages);
  EXPECT_EQ(layout->Key(10).chars[15], 0x0416);
  EXPECT_EQ(layout->deadKeys[0].accent, 0x0401);
  EXPECT_EQ(layout->deadKeys[0].result, 0x0451);
}

}  // namespace
}  // namespace tastora
