#include <gtest/gtest.h>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "datafile/LineWriter.h"
#include "datafile/OlderDataFiles.h"
#include "model/Bytes.h"
#include "model/KeyboardLayout.h"
#include "tests/TestPorts.h"

namespace tastora {
namespace {

using testing::MemoryFileSystem;
using testing::RecordingDialogs;

// Scan codes of key positions 1..104 as the converted file writes them.
const std::array<const char*, 104> kScanTexts = {
    "29",  "02",  "03",  "04",  "05",  "06",  "07",  "08",  "09",  "0A",  "0B",  "0C",  "0D",  "2B",  "10",
    "11",  "12",  "13",  "14",  "15",  "16",  "17",  "18",  "19",  "1A",  "1B",  "1E",  "1F",  "20",  "21",
    "22",  "23",  "24",  "25",  "26",  "27",  "28",  "2C",  "2D",  "2E",  "2F",  "30",  "31",  "32",  "33",
    "34",  "35",  "56",  "53",  "52",  "4F",  "50",  "51",  "4B",  "4C",  "4D",  "47",  "48",  "49",  "4E",
    "4A",  "37",  "135", "15B", "15C", "15D", "2A",  "1D",  "38",  "138", "11D", "36",  "3A",  "11C", "0F",
    "0E",  "45",  "14B", "14D", "148", "150", "46",  "152", "153", "147", "14F", "149", "151", "54",  "3B",
    "3C",  "3D",  "3E",  "3F",  "40",  "41",  "42",  "43",  "44",  "57",  "58",  "01",  "39",  "1C"};

struct KeyFields {
  std::array<uint16_t, 8> chars{};
  std::array<uint8_t, 8> dead{};
  uint8_t capsAware = 0;
  uint16_t kana = 0;
  uint16_t vk = 0;
  int32_t mapped = 0;
  uint8_t assignedChar = 0;
  uint8_t capsAware2 = 0;
};

struct FileFields {
  bool vyr2000 = true;
  uint8_t major = 0, minor = 0, platform = 0, fontScript = 0, altgrUsed = 0;
  uint16_t lcid = 0;
  std::map<int, KeyFields> keys;  // by position
  std::vector<DeadKeyEntry> deadKeys;
  std::vector<UnresolvedKey> unresolved;
  std::vector<KeyNameEntry> names, extendedNames;
  // Counts written instead of the list sizes.
  std::optional<int32_t> deadCount, unresolvedCount, nameCount, extendedNameCount;
  size_t cutTo = SIZE_MAX;  // file length limit
};

std::vector<uint8_t> Image(const FileFields& f) {
  const size_t keys = f.vyr2000 ? 109 : 105, record = f.vyr2000 ? 35 : 34;
  const size_t dead = f.vyr2000 ? 3749 : 3641, altgr = f.vyr2000 ? 10953 : 10845;
  const size_t unresolvedCount = f.vyr2000 ? 11106 : 10998, font = f.vyr2000 ? 11110 : 11002;
  const size_t names = f.vyr2000 ? 11112 : 11006;
  ByteWriter w;
  const std::string magic = f.vyr2000 ? "VYR2000" : "VYR32";
  for (size_t i = 0; i < magic.size(); ++i) w.U8(i, static_cast<uint8_t>(magic[i]));
  w.U8(f.vyr2000 ? 8 : 11004, f.major);
  w.U8(f.vyr2000 ? 9 : 11005, f.minor);
  for (const auto& [p, k] : f.keys) {
    const size_t at = keys + size_t(p - 1) * record;
    for (size_t s = 0; s < 8; ++s) {
      w.U16(at + 2 * s, k.chars[s]);
      w.U8(at + 16 + s, k.dead[s]);
    }
    w.U8(at + 24, k.capsAware);
    w.U16(at + 25, k.kana);
    w.U16(at + 27, k.vk);
    w.U32(at + 29, static_cast<uint32_t>(k.mapped));
    w.U8(at + 33, k.assignedChar);
    if (f.vyr2000) w.U8(at + 34, k.capsAware2);
  }
  w.U32(dead, static_cast<uint32_t>(f.deadCount.value_or(int32_t(f.deadKeys.size()))));
  for (size_t i = 0; i < f.deadKeys.size(); ++i) {
    w.U16(dead + 4 + 6 * i, f.deadKeys[i].accent);
    w.U16(dead + 6 + 6 * i, f.deadKeys[i].base);
    w.U16(dead + 8 + 6 * i, f.deadKeys[i].result);
  }
  w.U8(altgr, f.altgrUsed);
  w.U16(altgr + 1, f.lcid);
  for (size_t i = 0; i < f.unresolved.size(); ++i) {
    w.U8(altgr + 3 + 3 * i, static_cast<uint8_t>(f.unresolved[i].vk));
    w.U8(altgr + 4 + 3 * i, f.unresolved[i].scan);
    w.U8(altgr + 5 + 3 * i, f.unresolved[i].extended);
  }
  w.U32(unresolvedCount, static_cast<uint32_t>(f.unresolvedCount.value_or(int32_t(f.unresolved.size()))));
  w.U8(font, f.fontScript);
  w.U8(font + 1, f.platform);
  w.U32(names, static_cast<uint32_t>(f.nameCount.value_or(int32_t(f.names.size()))));
  w.U32(names + 4, static_cast<uint32_t>(f.extendedNameCount.value_or(int32_t(f.extendedNames.size()))));
  size_t at = names + 8;
  auto writeList = [&](const std::vector<KeyNameEntry>& list) {
    for (const KeyNameEntry& e : list) {
      w.U8(at, static_cast<uint8_t>(e.scan));
      w.U8(at + 1, static_cast<uint8_t>(e.name.size()));
      at += 2;
      for (char16_t ch : e.name) {
        w.U16(at, ch);
        at += 2;
      }
    }
  };
  writeList(f.names);
  w.U32(at, 0xEEEEEEEE);  // the unread gap
  at += 4;
  writeList(f.extendedNames);
  std::vector<uint8_t> bytes = w.Take();
  if (bytes.size() > f.cutTo) bytes.resize(f.cutTo);
  return bytes;
}

std::vector<std::string> Convert(const std::vector<uint8_t>& bytes, bool vyr2000, Dialogs& dialogs,
                                 ProcessState& state) {
  return vyr2000 ? ConvertVyr2000Bytes(bytes, dialogs, state) : ConvertVyr32Bytes(bytes, dialogs, state);
}

// A whole document: literal lines around the keys, where keys not given are
// the two lines of a key without content.
std::vector<std::string> Document(std::vector<std::string> head, const std::map<int, std::vector<std::string>>& keys,
                                  const std::vector<std::string>& tail) {
  std::vector<std::string> doc = std::move(head);
  for (int p = 1; p <= 104; ++p) {
    auto it = keys.find(p);
    if (it != keys.end()) {
      doc.insert(doc.end(), it->second.begin(), it->second.end());
    } else {
      doc.push_back(std::string("    <KEY SCAN=\"") + kScanTexts[size_t(p - 1)] + "\" VK=\"0000\">");
      doc.push_back("    </KEY>");
    }
  }
  doc.insert(doc.end(), tail.begin(), tail.end());
  return doc;
}

void ExpectLines(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
  for (size_t i = 0; i < std::min(actual.size(), expected.size()); ++i) ASSERT_EQ(actual[i], expected[i]) << "line " << i;
  ASSERT_EQ(actual.size(), expected.size());
}

ProcessState StateWithNames() {
  ProcessState state;
  state.keyNames.count = 1;
  state.keyNames.entries[0] = {0x77, u"old"};
  state.extendedKeyNames.count = 1;
  state.extendedKeyNames.entries[0] = {0x78, u"older"};
  return state;
}

const std::vector<std::string> kEmptyHead = {
    R"(<VYR_DAT_FILE VERSION="0.0">)", "  ", R"(  <CREATED ORGSYSTEM="WIN95"/>)", "  ",
    R"(  <SETTINGS FONT_SCRIPT="0" ALTGR_USED="0" LCID="00000000"/>)", "  ", "  <KEYS >"};
const std::vector<std::string> kEmptyTail = {
    "  </KEYS>",     "  ", "  <DIACRITICS >",   "  </DIACRITICS>",   "  ", "  <LIGATURES />",   "  ",
    "  <UNRESOLVED >", "  </UNRESOLVED>",   "  ", "  <KEY_NAMES >", "  </KEY_NAMES>", "  ", "  <KEY_NAMES_EXT >",
    "  </KEY_NAMES_EXT>", "  ", "</VYR_DAT_FILE>"};

TEST(OlderDataFiles, MagicFollowedByZerosGivesEmptyKeysAndSections) {
  for (bool vyr2000 : {false, true}) {
    SCOPED_TRACE(vyr2000);
    std::vector<uint8_t> bytes(13, 0);
    const std::string magic = vyr2000 ? "VYR2000" : "VYR32";
    std::copy(magic.begin(), magic.end(), bytes.begin());
    RecordingDialogs dialogs;
    ProcessState state = StateWithNames();
    ExpectLines(Convert(bytes, vyr2000, dialogs, state), Document(kEmptyHead, {}, kEmptyTail));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(state.keyNames.count, 0);
    EXPECT_EQ(state.extendedKeyNames.count, 0);
  }
}

TEST(OlderDataFiles, RecordBecomesMarkupInBothForms) {
  for (bool vyr2000 : {true, false}) {
    SCOPED_TRACE(vyr2000);
    FileFields f;
    f.vyr2000 = vyr2000;
    f.major = 2;
    f.minor = 65;
    f.platform = vyr2000 ? 1 : 7;
    f.fontScript = 238;
    f.altgrUsed = 1;
    f.lcid = 0x041A;
    f.keys[1] = {.chars = {0x60, 0x7E, 0, 0, 0, 0, 0x1234, 0xABCD},
                 .dead = {0, 0, 0, 0, 0, 0, 1, 2},
                 .capsAware = 1,
                 .kana = 0xFF,
                 .vk = 0xC0,
                 .mapped = 10,
                 .assignedChar = 3,
                 .capsAware2 = 1};
    // In a VYR32 file its first byte is where a VYR2000 record keeps CapsAware2 of key 1.
    f.keys[2] = {.chars = {0x31}, .vk = 0x31, .capsAware2 = 1};
    f.keys[71] = {.chars = {0, 0, 0x41}, .vk = 0x1A3};
    f.keys[104] = {.chars = {0, 0, 0, 0, 0, 0, 0, 0xFFFF}, .dead = {255}, .kana = 0x1234, .vk = 0x0D, .mapped = -5};
    f.deadKeys = {{0x5E, 0x61, 0xE2}, {0xB4, 0x65, 0xE9}};
    f.unresolved = {{0xC1, 0x73, 0}, {0xFF, 0x7E, 1}};
    f.names = {{0x01, u"Esc"}, {0x0E, u""}};
    f.extendedNames = {{0xFF, u"\xFFFF"}};
    RecordingDialogs dialogs;
    ProcessState state = StateWithNames();
    const auto lines = Convert(Image(f), vyr2000, dialogs, state);
    std::vector<std::string> key2 = {R"(    <KEY SCAN="02" VK="0031">)", R"(      <VALUE 0="0031"/>)", "    </KEY>"};
    if (vyr2000) key2.insert(key2.begin() + 2, R"(      <FLAGS CAPSAWARE2="1"/>)");
    const auto expected = Document(
        {R"(<VYR_DAT_FILE VERSION="2.65">)", "  ",
         vyr2000 ? R"(  <CREATED ORGSYSTEM="WINNT"/>)" : R"(  <CREATED ORGSYSTEM="?"/>)", "  ",
         R"(  <SETTINGS FONT_SCRIPT="238" ALTGR_USED="1" LCID="0000041A"/>)", "  ", "  <KEYS >"},
        {{1,
          {R"(    <KEY SCAN="29" VK="00C0">)", R"(      <VALUE 0="0060" 1="007E" 6="1234" 7="ABCD"/>)",
           R"(      <DEADKEY 6="1" 7="2"/>)",
           vyr2000 ? R"(      <FLAGS CAPSAWARE="1" CAPSAWARE2="1" KANA="00FF" MAPPED="10" ASSIGNEDCHAR="3"/>)"
                   : R"(      <FLAGS CAPSAWARE="1" KANA="00FF" MAPPED="10" ASSIGNEDCHAR="3"/>)",
           "    </KEY>"}},
         {2, key2},
         {71, {R"(    <KEY SCAN="11D" VK="01A3">)", R"(      <VALUE 2="0041"/>)", "    </KEY>"}},
         {104,
          {R"(    <KEY SCAN="1C" VK="000D">)", R"(      <VALUE 7="FFFF"/>)", R"(      <DEADKEY 0="255"/>)",
           R"(      <FLAGS KANA="1234" MAPPED="-5"/>)", "    </KEY>"}}},
        {"  </KEYS>", "  ", "  <DIACRITICS >", R"(    <DIACRITIC KVACICA="005E" NOSAC="0061" REZULTAT="00E2"/>)",
         R"(    <DIACRITIC KVACICA="00B4" NOSAC="0065" REZULTAT="00E9"/>)", "  </DIACRITICS>", "  ",
         "  <LIGATURES />", "  ", "  <UNRESOLVED >", R"(    <DEF VK="00C1" SCAN="73" ANSI="00"/>)",
         R"(    <DEF VK="00FF" SCAN="7E" ANSI="01"/>)", "  </UNRESOLVED>", "  ", "  <KEY_NAMES >",
         R"(    <NAME SCAN="0001"> <C U="0045"/><C U="0073"/><C U="0063"/> </NAME>)",
         R"(    <NAME SCAN="000E">  </NAME>)", "  </KEY_NAMES>", "  ", "  <KEY_NAMES_EXT >",
         R"(    <NAME SCAN="00FF"> <C U="FFFF"/> </NAME>)", "  </KEY_NAMES_EXT>", "  ", "</VYR_DAT_FILE>"});
    ExpectLines(lines, expected);
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(state.keyNames.count, 2);
    EXPECT_EQ(state.keyNames.entries[0].scan, 0x01);
    EXPECT_EQ(state.keyNames.entries[0].name, u"Esc");
    EXPECT_EQ(state.keyNames.entries[1].scan, 0x0E);
    EXPECT_EQ(state.keyNames.entries[1].name, u"");
    ASSERT_EQ(state.extendedKeyNames.count, 1);
    EXPECT_EQ(state.extendedKeyNames.entries[0].name, u"\xFFFF");
  }
}

TEST(OlderDataFiles, CountsAtTheirCapacityConvert) {
  FileFields f;
  f.deadCount = 1200;
  f.unresolvedCount = 50;
  f.names.assign(256, {0x10, u"q"});
  f.extendedNames.assign(256, {0x11, u""});
  RecordingDialogs dialogs;
  ProcessState state;
  const auto lines = ConvertVyr2000Bytes(Image(f), dialogs, state);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(lines.size(), Document(kEmptyHead, {}, kEmptyTail).size() + 1200 + 50 + 256 + 256);
  EXPECT_EQ(state.keyNames.count, 256);
  EXPECT_EQ(state.extendedKeyNames.entries[255].scan, 0x11);
}

TEST(OlderDataFiles, FaultyFilesAreRefusedAndLeaveKeyNamesAlone) {
  const auto withMagic = [](std::string magic) {
    std::vector<uint8_t> bytes(20, 0);
    std::copy(magic.begin(), magic.end(), bytes.begin());
    return bytes;
  };
  const FileFields twoNames = [] {
    FileFields f;
    f.names = {{1, u"ab"}, {2, u"cd"}};
    f.extendedNames = {{3, u"x"}};
    return f;
  }();
  const size_t fullLength = Image(twoNames).size();
  FileFields f;
  const struct {
    const char* what;
    bool vyr2000;
    std::vector<uint8_t> bytes;
    std::string message;
  } cases[] = {
      {"empty", true, {}, "This is not vyr32 file!"},
      {"VYR2000 given as VYR32", false, withMagic("VYR2000"), "This is not vyr32 file!"},
      {"VYR32 given as VYR2000", true, withMagic("VYR32"), "This is not vyr32 file!"},
      {"longer magic", false, withMagic("VYR32X"), "This is not vyr32 file!"},
      {"dead keys", false, [&] { auto g = f; g.vyr2000 = false; g.deadCount = 1500; return Image(g); }(),
       "This file declares 1500 dead keys; a layout holds at most 1200."},
      {"dead keys", true, [&] { auto g = f; g.deadCount = 1201; return Image(g); }(), "1201 dead keys"},
      {"dead keys", true, [&] { auto g = f; g.deadCount = -1; return Image(g); }(), "-1 dead keys"},
      {"unresolved", true, [&] { auto g = f; g.unresolvedCount = 51; return Image(g); }(), "51 unresolved"},
      {"unresolved", false, [&] { auto g = f; g.vyr2000 = false; g.unresolvedCount = INT32_MIN; return Image(g); }(),
       "-2147483648 unresolved"},
      {"key names", true, [&] { auto g = f; g.nameCount = 257; return Image(g); }(), "257 key names"},
      {"key names", true, [&] { auto g = f; g.nameCount = -2; return Image(g); }(), "-2 key names"},
      {"extended", true, [&] { auto g = f; g.extendedNameCount = 300; return Image(g); }(), "300 extended key names"},
      {"list into padding", true, [&] { auto g = twoNames; g.nameCount = 3; g.cutTo = 11120 + 12; return Image(g); }(),
       "key-name list of this file runs past the end of the file at entry 3 of 3"},
      {"count cut", true, [&] { auto g = twoNames; g.cutTo = 11120 + 1; return Image(g); }(),
       "key-name list of this file runs past the end of the file at entry 1 of 2"},
      {"name cut", false, [&] { auto g = twoNames; g.vyr2000 = false; g.cutTo = 11014 + 6 + 5; return Image(g); }(),
       "key-name list of this file runs past the end of the file at entry 2 of 2"},
      {"extended cut", true, [&] { auto g = twoNames; g.cutTo = fullLength - 1; return Image(g); }(),
       "extended key-name list of this file runs past the end of the file at entry 1 of 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingDialogs dialogs;
    ProcessState state = StateWithNames();
    EXPECT_TRUE(Convert(c.bytes, c.vyr2000, dialogs, state).empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find(c.message), std::string::npos) << dialogs.messages[0];
    EXPECT_EQ(state.keyNames.count, 1);
    EXPECT_EQ(state.keyNames.entries[0].name, u"old");
    EXPECT_EQ(state.extendedKeyNames.count, 1);
    EXPECT_EQ(state.extendedKeyNames.entries[0].name, u"older");
  }
}

TEST(OlderDataFiles, FileIsReadForWritingAndAnUnreadableOneIsReported) {
  MemoryFileSystem files;
  RecordingDialogs dialogs;
  ProcessState state;
  EXPECT_TRUE(ConvertVyr2000File("x.vyr2000", files, dialogs, state).empty());
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Could not read file\rx.vyr2000"});
  ASSERT_EQ(files.reads.size(), 1u);
  EXPECT_EQ(files.reads[0].path, "x.vyr2000");
  EXPECT_EQ(files.reads[0].maxBytes, kDataFileBufferSize);
  EXPECT_TRUE(files.reads[0].openForWriting);

  FileFields f;
  f.vyr2000 = false;
  files.Put("x.vyr2000", Image(f));
  dialogs.messages.clear();
  EXPECT_EQ(ConvertVyr32File("x.vyr2000", files, dialogs, state), Document(kEmptyHead, {}, kEmptyTail));
  EXPECT_TRUE(dialogs.messages.empty());
  // A refusal of what the file holds names the file as well.
  EXPECT_TRUE(ConvertVyr2000File("x.vyr2000", files, dialogs, state).empty());
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"This is not vyr32 file!\rx.vyr2000"});
}

TEST(LineWriter, IndentsByTwoAndNeverBelowTheMargin) {
  LineWriter w;
  w.Outdent();
  w.AddLine("a");
  w.Indent();
  w.Indent();
  w.AddLine("");
  w.Outdent();
  w.AddLine("b");
  EXPECT_EQ(w.Lines(), (std::vector<std::string>{"a", "    ", "  b"}));
}

}  // namespace
}  // namespace tastora
