// The fixed tables, checked row by row against independently typed values so
// that a mistyped row shows up.

#include <gtest/gtest.h>

#include <set>

#include "model/DefaultKeyNames.h"
#include "model/KeyFunctions.h"
#include "model/KeyTable.h"
#include "model/Keypad.h"
#include "model/VkNames.h"

namespace tastora {
namespace {

TEST(KeyTable, SampledRowsMatchThePhysicalKeyboard) {
  struct Case {
    int key;
    uint16_t scan, vkNt, vkOther, normal, shifted, expected;
  };
  const Case cases[] = {
      {1, 0x29, 0xC0, 0xC0, u'`', u'~', 0},
      {3, 0x03, 0x32, 0x32, u'2', u'@', 0},
      {12, 0x0C, 0xBD, 0xBD, u'-', u'_', 0},
      {14, 0x2B, 0xDC, 0xDC, u'\\', u'|', 0},
      {27, 0x1E, 0x41, 0x41, u'a', u'A', 0},
      {37, 0x28, 0xDE, 0xDE, u'\'', u'"', 0},
      {48, 0x56, 0xE2, 0xE2, u'\\', u'|', 0},
      {49, 0x53, 0x6E, 0x6E, u'.', u'.', 0},
      {50, 0x52, 0x60, 0x60, u'0', 0, 0},
      {62, 0x37, 0x6A, 0x6A, u'*', u'*', 0},
      {63, 0x135, 0x6F, 0x6F, u'/', u'/', 0x016F},
      {67, 0x2A, 0xA0, 0x10, 0, 0, 0x00A0},
      {70, 0x138, 0xA5, 0x12, 0, 0, 0x01A5},
      {72, 0x36, 0xA1, 0x10, 0, 0, 0x01A1},
      {74, 0x11C, 0x0D, 0x0D, 0, 0, 0x010D},
      {77, 0x45, 0x90, 0x90, 0, 0, 0x0390},
      {82, 0x46, 0x91, 0x91, 0, 0, 0x0291},
      {89, 0x54, 0x2C, 0x2C, 0, 0, 0x002C},
      {101, 0x58, 0x7B, 0x7B, 0, 0, 0x007B},
      {104, 0x1C, 0x0D, 0x0D, 0, 0, 0x000D},
      {113, 0x120, 0xAD, 0xAD, 0, 0, 0x01AD},
      {123, 0x15F, 0x5F, 0x5F, 0, 0, 0x015F},
      {125, 0x163, 0xE4, 0xE4, 0, 0, 0x01E4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const KeyTableRow& row = KeyRow(c.key);
    EXPECT_EQ(row.number, c.key);
    EXPECT_EQ(row.scan, c.scan);
    EXPECT_EQ(DefaultVk(c.key, true), c.vkNt);
    EXPECT_EQ(DefaultVk(c.key, false), c.vkOther);
    EXPECT_EQ(row.normal, c.normal);
    EXPECT_EQ(row.shifted, c.shifted);
    EXPECT_EQ(row.expectedVk, c.expected);
  }
}

TEST(KeyTable, ScanCodesAreUniqueAndExpectedVksFollowTheirRule) {
  std::set<uint16_t> scans;
  for (const KeyTableRow& row : KeyTable()) {
    EXPECT_TRUE(scans.insert(row.scan).second) << "scan " << row.scan << " twice";
    if (row.number >= 64) {
      // The expected VK is the default VK with flag bits only.
      EXPECT_EQ(row.expectedVk & 0xFF, row.vkNt) << "key " << row.number;
      // Keys with the E0 prefix are extended keys, and only they (Num Lock,
      // Scroll Lock and Right Shift carry flags of their own).
      if (row.scan & kE0Prefix) {
        EXPECT_TRUE(row.expectedVk & 0x100) << "key " << row.number;
      }
    }
  }
  EXPECT_EQ(scans.size(), 125u);
}

TEST(KeyTable, ExpectedVkOnBothPlatforms) {
  EXPECT_EQ(ExpectedVk(0), 0x016F);
  EXPECT_EQ(ExpectedVk(1), 0x015B);
  EXPECT_EQ(ExpectedVk(62), 0x01E4);
  EXPECT_EQ(ExpectedVk(63), 0);
  const struct {
    int key;
    uint16_t other;
  } cases[] = {{64, 0x5B}, {67, 0x10}, {68, 0x11}, {69, 0x12}, {70, 0xFF},
               {71, 0xFF}, {72, 0xFF}, {73, 0x14}, {74, 0xFF}, {77, 0x90}, {104, 0x0D}};
  for (const auto& c : cases) EXPECT_EQ(OtherPlatformExpectedVk(c.key - 63), c.other) << "key " << c.key;
}

TEST(KeyFunctions, LookupsByIdVkAndGenericVk) {
  EXPECT_EQ(KeyFunctions().size(), 81u);
  struct Case {
    int id;
    uint16_t vkWithFlags;
    uint16_t generic;
  };
  const Case cases[] = {
      {1, 0x0070, 0x70},     {12, 0x007B, 0x7B},    {101, 0x00A4, 0x12},   {102, 0x01A5, 255},
      {103, 0x00A2, 0x11},   {104, 0x01A3, 255},    {105, 0x00A0, 0x10},   {106, 0x01A1, 255},
      {201, 0x000D, 0x0D},   {205, 0x001B, 0x1B},   {301, 0x0014, 0x14},   {302, 0x0390, 0x90},
      {303, 0x0291, 0x91},   {401, 0x0126, 0x26},   {506, 0x0122, 0x22},   {507, 0x00FE, 0xFE},
      {603, 0x015D, 0x5D},   {701, 0x016F, 255},    {702, 0x026A, 0x6A},   {705, 0x010D, 255},
      {706, 0x0C6E, 0x6E},   {716, 0x0C69, 0x69},   {801, 0x01A6, 255},    {812, 0x01B0, 255},
      {813, 0x01B1, 255},    {818, 0x01B7, 255},    {821, 0x01E4, 255},    {901, 0x04F3, 0x4F3},
      {904, 0x04F2, 0x4F2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(VkOfFunction(c.id), c.vkWithFlags);
    EXPECT_EQ(GenericVkOfFunction(c.id), c.generic);
  }
  EXPECT_EQ(VkOfFunction(0), 255);
  EXPECT_EQ(VkOfFunction(13), 255);
  EXPECT_EQ(GenericVkOfFunction(999), 255);

  EXPECT_EQ(FunctionIdOfVk(0x00A2), 103);
  EXPECT_EQ(FunctionIdOfVk(0x0010), 0);
  EXPECT_EQ(FunctionIdOfVk(0x010D), 705);  // keypad Enter, not main Enter
  EXPECT_EQ(FunctionIdOfVk(0x000D), 201);
  EXPECT_EQ(FunctionIdOfVk(0x01A9), 804);  // first of the two "Stop" entries in id order

  EXPECT_EQ(FunctionIdOfGenericVk(0x11), 103);
  EXPECT_EQ(FunctionIdOfGenericVk(0x12), 101);
  EXPECT_EQ(FunctionIdOfGenericVk(0x0D), 201);   // keypad Enter has no generic VK
  EXPECT_EQ(FunctionIdOfGenericVk(0xA5), 0);
  EXPECT_EQ(FunctionIdOfGenericVk(0x4F3), 901);
}

TEST(DefaultKeyNames, CountsAndSampledNames) {
  EXPECT_EQ(DefaultKeyNames().size(), 52u);
  EXPECT_EQ(DefaultExtendedKeyNames().size(), 23u);
  const struct {
    uint8_t scan;
    const char16_t* name;
  } cases[] = {{0x01, u"Esc"}, {0x3A, u"Caps Lock"}, {0x44, u"F10"}, {0x53, u"Num De"}, {0x58, u"F12"},
               {0x7C, u"F13"}, {0x87, u"F24"}, {0x00, u"None"},
               // Only in the extended list: found there when the first has none.
               {0x35, u"Num /"}, {0x5D, u"Application"}, {0x56, u"Help"},
               // In both lists: the first wins.
               {0x1C, u"Enter"}, {0x47, u"Num 7"}, {0x02, u""}};
  for (const auto& c : cases) EXPECT_EQ(DefaultNameOfScan(c.scan), c.name) << int(c.scan);
}

TEST(VkNames, ExactTextForms) {
  const struct {
    uint16_t vk;
    const char* text;
  } cases[] = {{0x00, "unassigned 0x00"},   {0x03, "VK_CANCEL  0x03"},   {0x0D, "VK_RETURN 0x0D"},
               {0x17, "VK_KANJI 0x17"},     {0x41, "VK_A 0x41"},         {0x5F, "VK_SLEEP 0x5F"},
               {0xA5, "unassigned 0xA5"},   {0xB1, "VK_CD_PREV_TRACK 0xB1"}, {0xE2, "VK_OEM_102 0xE2"},
               {0xE6, "VK_OEM_14 0xE6"},    {0xF5, "VK_OEM_27 0xF5"},    {0xFF, "VK_NONE 0xFF"},
               {0x01A2, "unassigned 0xA2"}, {0x0C2E, "VK_DELETE 0x2E"}};
  for (const auto& c : cases) EXPECT_EQ(VkName(c.vk), c.text);
}

TEST(Keypad, RepairPairsBothWays) {
  EXPECT_EQ(KeypadVkPairs().size(), 11u);
  EXPECT_EQ(KeypadModelVk(49, 0x0C2E), 0x6E);
  EXPECT_EQ(KeypadModelVk(55, 0x0C0C), 0x65);
  EXPECT_EQ(KeypadModelVk(59, 0x0C21), 0x69);
  EXPECT_EQ(KeypadModelVk(58, 0x0C21), 0x0C21);  // pair of another key
  EXPECT_EQ(KeypadModelVk(60, 0x0C21), 0x0C21);
  for (const KeypadVkPair& p : KeypadVkPairs()) {
    EXPECT_EQ(KeypadLibraryVk(p.key, p.modelVk), p.libraryVk);
    EXPECT_EQ(p.modelVk, KeyRow(p.key).vkNt);
  }
}

}  // namespace
}  // namespace tastora
