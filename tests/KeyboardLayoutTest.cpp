#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/Keypad.h"
#include "model/ProcessState.h"

namespace tastora {
namespace {

ProcessState NonNtState() {
  ProcessState state;
  state.windowsVersion = {kPlatformWin32Windows, 4, 10, 2222};
  return state;
}

TEST(KeyboardLayout, ClearGivesEmptyKeysWithDefaultVksOnEachPlatform) {
  for (bool nt : {true, false}) {
    SCOPED_TRACE(nt);
    ProcessState state = nt ? ProcessState{} : NonNtState();
    state.specialKeys.At(2, 5) = 0x1234;
    state.keyNames.count = 7;
    auto layout = std::make_unique<KeyboardLayout>();
    std::memset(static_cast<void*>(layout.get()), 0xAB, sizeof *layout);
    Clear(*layout, state);
    for (int n = 1; n <= kLastKey; ++n) {
      const KeyRecord& key = layout->Key(n);
      ASSERT_EQ(key.index, n);
      ASSERT_EQ(key.vk, DefaultVk(n, nt));
      for (int s = 0; s < kSlotCount; ++s) ASSERT_EQ(key.chars[size_t(s)] | key.dead[size_t(s)], 0);
      ASSERT_EQ(key.Mapped, 0);
      ASSERT_EQ(key.CapsAware | key.CapsAware2 | key.ShiftLock | key.AssignedChar | key.Kana, 0);
    }
    EXPECT_EQ(layout->keys[kLastKey].index, 0);  // slots past the last key stay zero
    EXPECT_EQ(layout->keys[254].vk, 0);
    EXPECT_EQ(layout->deadCount, 0);
    EXPECT_EQ(layout->unresolvedCount, 0);
    EXPECT_EQ(layout->lcid, 0);
    EXPECT_EQ(layout->altgr_used, 0);
    EXPECT_EQ(layout->ligatures[200][8].length, 0);
    EXPECT_EQ(state.specialKeys.At(2, 5), 0x7F);  // special keys back to defaults
    EXPECT_EQ(state.keyNames.count, 7);            // key names untouched
  }
  EXPECT_EQ(DefaultVk(67, false), 0x10);
}

TEST(KeyboardLayout, ResetToDefaultIsTheUsLayout) {
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  const struct {
    int key;
    char16_t normal, shifted;
    uint8_t capsAware;
  } cases[] = {{27, u'a', u'A', 1}, {2, u'1', u'!', 0}, {1, u'`', u'~', 0}, {38, u'z', u'Z', 1},
               {49, u'.', u'.', 0}, {51, u'1', 0, 0},   {103, 0, 0, 0},     {104, 0, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(layout->Key(c.key).chars[0], c.normal);
    EXPECT_EQ(layout->Key(c.key).chars[1], c.shifted);
    EXPECT_EQ(layout->Key(c.key).CapsAware, c.capsAware);
  }
  EXPECT_EQ(state.keyNames.count, 52);
  EXPECT_EQ(state.extendedKeyNames.count, 23);
  EXPECT_EQ(state.keyNames.entries[10].name, u"Caps Lock");
  EXPECT_EQ(state.extendedKeyNames.entries[0].name, u"Num Enter");

  // The 8-bit platform's US layout has no keypad characters.
  ProcessState old = NonNtState();
  ResetToDefault(*layout, old);
  EXPECT_EQ(layout->Key(51).chars[0], 0);
  EXPECT_EQ(layout->Key(63).chars[0], 0);
  EXPECT_EQ(layout->Key(27).chars[0], u'a');
  EXPECT_EQ(layout->Key(68).vk, 0x11);
}

TEST(KeyboardLayout, FindByVkAndScan) {
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  Clear(*layout, state);
  EXPECT_EQ(FindKeyByVk(*layout, 0x41), 27);
  EXPECT_EQ(FindKeyByVk(*layout, 0x0D), 74);      // first of keypad Enter and Enter
  EXPECT_EQ(FindKeyByVk(*layout, 0x010D), 0);     // all 16 bits must match
  layout->Key(27).vk = 0x0D;
  EXPECT_EQ(FindKeyByVk(*layout, 0x0D), 27);

  const struct {
    int scan, key;
  } cases[] = {{0x1E, 27}, {0x11C, 74}, {0x1C, 104}, {0x135, 63}, {0x35, 47}, {0x163, 125}, {0x00, -1}, {0x137, -1}, {0x7F, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(FindKeyByScan(c.scan), c.key) << c.scan;
    EXPECT_EQ(FindKeyByScanOrZero(c.scan), c.key < 0 ? 0 : c.key) << c.scan;
  }
  // The keys beyond the key table are found only when asked for.
  const struct {
    int scan, key;
  } any[] = {{0x1E, 27}, {0x73, 126}, {0x7E, 127}, {0x7D, 131}, {0x146, 132}, {0x137, -1}};
  for (const auto& c : any) EXPECT_EQ(FindAnyKeyByScan(c.scan), c.key) << c.scan;
  EXPECT_EQ(FindKeyByScan(0x73), -1);
}

TEST(KeyboardLayout, AdjustNumpadOnlyOnNt) {
  for (bool nt : {true, false}) {
    ProcessState state = nt ? ProcessState{} : NonNtState();
    auto layout = std::make_unique<KeyboardLayout>();
    Clear(*layout, state);
    layout->Key(49).vk = 0x0C2E;
    layout->Key(55).vk = 0x0C0C;
    layout->Key(56).vk = 0x0C0C;  // not the pair of key 56
    AdjustNumpad(*layout, state);
    EXPECT_EQ(layout->Key(49).vk, nt ? 0x6E : 0x0C2E);
    EXPECT_EQ(layout->Key(55).vk, nt ? 0x65 : 0x0C0C);
    EXPECT_EQ(layout->Key(56).vk, 0x0C0C);
  }
}

}  // namespace
}  // namespace tastora
