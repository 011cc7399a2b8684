#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/ImportErrors.h"
#include "datafile/LayoutDataFile.h"
#include "datafile/NumberText.h"
#include "model/Bytes.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/offline/IconvCodePages.h"
#include "tests/TestFiles.h"
#include "tests/TestPorts.h"

namespace tastora {
namespace {

using testing::MemoryFileSystem;
using testing::RecordingDialogs;

constexpr char kRoot[] = R"(<VYR_DAT_FILE LayoutName="test" version="3.00">)";
constexpr char kCreatedNt[] = R"(<CREATED OrgSystem="WinNT"/>)";

std::string Doc(const std::string& body, const std::string& root = kRoot, const std::string& created = kCreatedNt) {
  return root + "\n" + created + "\n" + body + "\n</VYR_DAT_FILE>\n";
}

struct Fixture {
  Fixture() : layout(std::make_unique<KeyboardLayout>()) { ResetToDefault(*layout, state); }

  bool Import(const std::string& text, bool readOnly = false) {
    files.Put("f.vyr2000", text, readOnly);
    return ImportLayoutFile("f.vyr2000", *layout, state, ports);
  }

  ProcessState state;
  MemoryFileSystem files;
  RecordingDialogs dialogs;
  IconvCodePages codePages;
  DataFilePorts ports{files, dialogs, codePages};
  std::unique_ptr<KeyboardLayout> layout;
};

bool SameLayout(const KeyboardLayout& a, const KeyboardLayout& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(LayoutDataFile, LoadsEachElementIntoTheLayout) {
  struct Case {
    const char* name;
    std::string text;
    std::function<void(const KeyboardLayout&, const ProcessState&, const RecordingDialogs&)> check;
  };
  const Case cases[] = {
      {"keys, values, dead flags and flags",
       Doc(R"(<KEYS >
  <KEY scan="1E" vk="0051">
    <VALUE 0="0071" 1="0051" 6="00E6" 8="0061"/>
    <DEADKEY 6="1"/>
    <FLAGS CapsAware="1" CapsAware2="1" ShiftLock="1" Kana="12" Mapped="67" AssignedChar="1"/>
  </KEY>
  <KEY scan="11D" vk="01A3"/>
</KEYS>)"),
       [](const KeyboardLayout& l, const ProcessState&, const RecordingDialogs&) {
         const KeyRecord& k = l.Key(27);
         EXPECT_EQ(k.vk, 0x51);
         EXPECT_EQ(k.chars[0], u'q');
         EXPECT_EQ(k.chars[6], 0xE6);
         EXPECT_EQ(k.chars[8], u'a');
         EXPECT_EQ(k.dead[6], 1);
         EXPECT_EQ(k.CapsAware + k.CapsAware2 + k.ShiftLock + k.AssignedChar, 4);
         EXPECT_EQ(k.Kana, 0x12);
         EXPECT_EQ(k.Mapped, 103);
         EXPECT_EQ(l.Key(71).vk, 0x01A3);
         // Import replaces the whole layout: keys the file does not name are empty.
         EXPECT_EQ(l.Key(28).chars[0], 0);
         EXPECT_EQ(l.Key(28).vk, 0x53);
       }},
      {"Mapped is decimal only for versions 2.61 to 2.69",
       Doc(R"(<KEYS ><KEY scan="3A" vk="0014"><FLAGS Mapped="10"/></KEY></KEYS>)",
           R"(<VYR_DAT_FILE version="2.65">)"),
       [](const KeyboardLayout& l, const ProcessState&, const RecordingDialogs&) { EXPECT_EQ(l.Key(73).Mapped, 10); }},
      {"Mapped is hexadecimal for version 2.70",
       Doc(R"(<KEYS ><KEY scan="3A" vk="0014"><FLAGS Mapped="10"/></KEY></KEYS>)",
           R"(<VYR_DAT_FILE version="2.70">)"),
       [](const KeyboardLayout& l, const ProcessState&, const RecordingDialogs&) { EXPECT_EQ(l.Key(73).Mapped, 16); }},
      {"Mapped is hexadecimal for version 2.4",
       Doc(R"(<KEYS ><KEY scan="3A" vk="0014"><FLAGS Mapped="10"/></KEY></KEYS>)", "<VYR_DAT_FILE version=2.4>"),
       [](const KeyboardLayout& l, const ProcessState&, const RecordingDialogs&) { EXPECT_EQ(l.Key(73).Mapped, 16); }},
      {"Mapped is hexadecimal without a version",
       Doc(R"(<KEYS ><KEY scan="3A" vk="0014"><FLAGS Mapped="10"/></KEY></KEYS>)", "<VYR_DAT_FILE>"),
       [](const KeyboardLayout& l, const ProcessState&, const RecordingDialogs&) { EXPECT_EQ(l.Key(73).Mapped, 16); }},
      {"a key whose scan code is not in the key table is skipped with its children",
       Doc(R"(<KEYS >
<KEY scan="7F" vk="0041"><VALUE 0="0078"/><FLAGS CapsAware="1"/></KEY>
<KEY scan="10" vk="0051"><VALUE 0="0079"/></KEY>
</KEYS>)"),
       [](const KeyboardLayout& l, const ProcessState&, const RecordingDialogs&) {
         EXPECT_EQ(l.Key(15).chars[0], u'y');
         EXPECT_EQ(l.Key(15).CapsAware, 0);
         EXPECT_EQ(FindKeyByVk(l, 0x41), 27);
       }},
      {"two VALUE elements both apply, the later overwriting",
       Doc(R"(<KEYS ><KEY scan="10" vk="0051"><VALUE 0="0061" 1="0041"/><VALUE 1="0042" 7="0043"/></KEY></KEYS>)"),
       [](const KeyboardLayout& l, const ProcessState&, const RecordingDialogs&) {
         EXPECT_EQ(l.Key(15).chars[0], u'a');
         EXPECT_EQ(l.Key(15).chars[1], u'B');
         EXPECT_EQ(l.Key(15).chars[7], u'C');
       }},
      {"FLAGS with only Kana sets every other flag to 0",
       Doc(R"(<KEYS ><KEY scan="10" vk="0051"><FLAGS CapsAware="1" ShiftLock="1" Mapped="5"/><FLAGS Kana="7"/></KEY></KEYS>)"),
       [](const KeyboardLayout& l, const ProcessState&, const RecordingDialogs&) {
         const KeyRecord& k = l.Key(15);
         EXPECT_EQ(k.Kana, 7);
         EXPECT_EQ(k.CapsAware | k.CapsAware2 | k.ShiftLock | k.AssignedChar, 0);
         EXPECT_EQ(k.Mapped, 0);
       }},
      {"settings, and their optional attributes",
       Doc(R"(<SETTINGS font_script="204" altgr_used="1" lcid="10419"/>)"),
       [](const KeyboardLayout& l, const ProcessState& s, const RecordingDialogs&) {
         EXPECT_EQ(l.altgr_used, 1);
         EXPECT_EQ(l.ShiftLockOrig, 0);
         EXPECT_EQ(l.LRMRLM, 0);
         EXPECT_EQ(l.lcid, 0x0419);
         EXPECT_EQ(s.fontScript, 204);
       }},
      {"dead keys, ligatures (accumulating), unresolved scan codes",
       Doc(R"(<DIACRITICS ><DIACRITIC kvacica="5E" nosac="61" rezultat="E2"/><DIACRITIC kvacica="60" nosac="65" rezultat="E8"/></DIACRITICS>
<LIGATURES ><LIGATURE vk="1B" state="6"><S u="69"/></LIGATURE><LIGATURE vk="1B" state="6"><S u="6A"/></LIGATURE></LIGATURES>
<UNRESOLVED ><DEF vk="C1" scan="73" ANSI="0"/><DEF vk="15F" scan="5F" ANSI="1"/></UNRESOLVED>)"),
       [](const KeyboardLayout& l, const ProcessState&, const RecordingDialogs&) {
         ASSERT_EQ(l.deadCount, 2);
         EXPECT_EQ(l.deadKeys[1].accent, u'`');
         EXPECT_EQ(l.deadKeys[1].result, 0xE8);
         const LigatureCell& cell = l.ligatures[0x1B][6];
         EXPECT_EQ(cell.length, 2);
         EXPECT_EQ(cell.chars[0], u'i');
         EXPECT_EQ(cell.chars[1], u'j');
         ASSERT_EQ(l.unresolvedCount, 2);
         EXPECT_EQ(l.unresolved[1].vk, 0x15F);
         EXPECT_EQ(l.unresolved[1].scan, 0x5F);
         EXPECT_EQ(l.unresolved[1].extended, 1);
       }},
      {"special keys and key names; a NAME without characters is empty",
       Doc(R"(<SPECKEYS ><SPECKEY index="2"><VALUE 5="0" 3="41"/></SPECKEY></SPECKEYS>
<KEY_NAMES ><NAME scan="1"> <C u="45"/><C u="53"/> </NAME><NAME scan="3A"></NAME></KEY_NAMES>)"),
       [](const KeyboardLayout&, const ProcessState& s, const RecordingDialogs&) {
         EXPECT_EQ(s.specialKeys.At(2, 5), 0);
         EXPECT_EQ(s.specialKeys.At(2, 3), u'A');
         EXPECT_EQ(s.specialKeys.At(2, 1), 0x08);
         ASSERT_EQ(s.keyNames.count, 2);
         EXPECT_EQ(s.keyNames.entries[0].name, u"ES");
         EXPECT_EQ(s.keyNames.entries[1].scan, 0x3A);
         EXPECT_EQ(s.keyNames.entries[1].name, u"");
         EXPECT_EQ(s.extendedKeyNames.count, 23);  // not in the file: kept
       }},
      {"dead-key names; an element the loader does not know is skipped with its children",
       Doc(R"(<KEY_NAMES_DEAD ><NAME char="B4"> <C u="41"/><C u="43"/> </NAME><NAME char="60"></NAME></KEY_NAMES_DEAD>
<KEY_NAMES_LATER ><NAME scan="1"><C u="5A"/></NAME></KEY_NAMES_LATER>)"),
       [](const KeyboardLayout&, const ProcessState& s, const RecordingDialogs&) {
         ASSERT_EQ(s.deadKeyNames.count, 2);
         EXPECT_EQ(s.deadKeyNames.entries[0].scan, 0xB4);
         EXPECT_EQ(s.deadKeyNames.entries[0].name, u"AC");
         EXPECT_EQ(s.deadKeyNames.entries[1].scan, u'`');
         EXPECT_EQ(s.deadKeyNames.entries[1].name, u"");
         EXPECT_EQ(s.keyNames.count, 52);
         EXPECT_EQ(s.keyNames.entries[0].name, u"Esc");
       }},
      {"an element between the root and CREATED is lost",
       Doc(R"(<SETTINGS font_script="0" altgr_used="1" lcid="409"/>)", kRoot,
           std::string(R"(<SETTINGS font_script="0" altgr_used="1" lcid="407"/>)") + kCreatedNt),
       [](const KeyboardLayout& l, const ProcessState&, const RecordingDialogs&) { EXPECT_EQ(l.lcid, 0x409); }},
      {"a file from the 8-bit platform is widened with its font script and warned about",
       Doc(R"(<SETTINGS font_script="204" altgr_used="0" lcid="419"/>
<KEYS ><KEY scan="10" vk="0051"><VALUE 0="E9" 1="C9"/></KEY></KEYS>
<DIACRITICS ><DIACRITIC kvacica="A8" nosac="E5" rezultat="B8"/></DIACRITICS>)",
           "<VYR_DAT_FILE>", R"(<CREATED OrgSystem="Win95"/>)"),
       [](const KeyboardLayout& l, const ProcessState& s, const RecordingDialogs& d) {
         EXPECT_EQ(l.Key(15).chars[0], 0x0439);
         EXPECT_EQ(l.Key(15).chars[1], 0x0419);
         EXPECT_EQ(l.deadKeys[0].result, 0x0451);
         EXPECT_FALSE(s.fileIsNT);
         ASSERT_EQ(d.messages.size(), 1u);
         EXPECT_EQ(d.messages[0],
                   "Layout: \r\rFile created with VYR32 ver \r\rplatform WIN95\r\r"
                   "Possible loss of data because of crossplatform conversion.");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    ASSERT_TRUE(f.Import(c.text));
    c.check(*f.layout, f.state, f.dialogs);
  }
}

TEST(LayoutDataFile, RefusedFilesLeaveTheLayoutAlone) {
  struct Case {
    const char* name;
    std::string text;
    bool readOnly;
    const char* message;  // shown; empty when none is
  };
  const Case cases[] = {
      // The file's name follows the message on a line of its own.
      {"read-only", Doc(""), true, "Could not read file\rf.vyr2000"},
      {"shorter than the magic", "<VYR_DAT_FIL", false, "Could not read file\rf.vyr2000"},
      {"byte order mark", "\xEF\xBB\xBF" + Doc(""), false, "This is not vyr32 file!\rf.vyr2000"},
      {"declaration", "<?xml version=\"1.0\"?>" + Doc(""), false, "This is not vyr32 file!\rf.vyr2000"},
      {"leading blank", " " + Doc(""), false, "This is not vyr32 file!\rf.vyr2000"},
      {"no CREATED", std::string(kRoot) + "<SETTINGS font_script=\"0\" altgr_used=\"1\" lcid=\"1\"/></VYR_DAT_FILE>",
       false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    const auto before = std::make_unique<KeyboardLayout>(*f.layout);
    EXPECT_FALSE(f.Import(c.text, c.readOnly));
    EXPECT_TRUE(SameLayout(*before, *f.layout));
    if (*c.message) {
      ASSERT_EQ(f.dialogs.messages.size(), 1u);
      EXPECT_EQ(f.dialogs.messages[0], c.message);
    } else {
      EXPECT_TRUE(f.dialogs.messages.empty());
    }
  }
}

TEST(LayoutDataFile, ImportErrorsTravelToTheCallerWithTheirText) {
  struct Case {
    std::string body;
    const char* what;
    bool capacity;
  };
  const Case cases[] = {
      {R"(<SETTINGS font_script="0" altgr_used="1"/>)", "'$' is not a valid integer value", false},
      {R"(<SETTINGS altgr_used="1" lcid="1"/>)", "'' is not a valid integer value", false},
      {R"(<KEYS ><KEY scan="10" vk="51"><VALUE x="41"/></KEY></KEYS>)", "'X' is not a valid integer value", false},
      {R"(<KEYS ><KEY scan="10" vk="51"><VALUE 0="4G"/></KEY></KEYS>)", "'$4G' is not a valid integer value", false},
      {R"(<KEYS ><KEY scan="10" vk="1FFFFFFFF"/></KEYS>)", "'$1FFFFFFFF' is not a valid integer value", false},
      {R"(<KEYS ><KEY scan="10" vk="51"><VALUE 16="41"/></KEY></KEYS>)", "VALUE element names slot 16", true},
      {R"(<KEYS ><KEY scan="10" vk="51"><DEADKEY -1="1"/></KEY></KEYS>)", "DEADKEY element names slot -1", true},
      {R"(<SPECKEYS ><SPECKEY index="6"/></SPECKEYS>)", "SPECKEY element names special key 6", true},
      {R"(<SPECKEYS ><SPECKEY index="1"><VALUE 0="41"/></SPECKEY></SPECKEYS>)", "special key state 0", true},
      {R"(<LIGATURES ><LIGATURE vk="100" state="0"/></LIGATURES>)", "LIGATURE element names row 256", true},
      {R"(<LIGATURES ><LIGATURE vk="FFFFFFFF" state="0"/></LIGATURES>)", "row -1", true},
      {R"(<LIGATURES ><LIGATURE vk="1" state="9"/></LIGATURES>)", "LIGATURE element names column 9", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    Fixture f;
    const auto before = std::make_unique<KeyboardLayout>(*f.layout);
    try {
      f.Import(Doc(c.body));
      ADD_FAILURE() << "no error";
    } catch (const CapacityError& e) {
      EXPECT_TRUE(c.capacity);
      EXPECT_NE(std::string(e.what()).find(c.what), std::string::npos) << e.what();
    } catch (const ConversionError& e) {
      EXPECT_FALSE(c.capacity);
      EXPECT_STREQ(e.what(), c.what);
    }
    EXPECT_TRUE(SameLayout(*before, *f.layout));
  }
}

TEST(LayoutDataFile, CountsBeyondTheLayoutAreRefusedAndNothingChanges) {
  auto repeat = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s + "\n";
    return out;
  };
  const struct {
    std::string body;
    const char* what;
  } cases[] = {
      {"<DIACRITICS >" + repeat(R"(<DIACRITIC kvacica="5E" nosac="61" rezultat="E2"/>)", 1201) + "</DIACRITICS>",
       "more than 1200 DIACRITIC"},
      {"<UNRESOLVED >" + repeat(R"(<DEF vk="C1" scan="73" ANSI="0"/>)", 501) + "</UNRESOLVED>", "more than 500 DEF"},
      {R"(<LIGATURES ><LIGATURE vk="1" state="0">)" + repeat(R"(<S u="41"/>)", 33) + "</LIGATURE></LIGATURES>",
       "more than 32 characters"},
      {"<KEY_NAMES >" + repeat(R"(<NAME scan="1"><C u="41"/></NAME>)", 257) + "</KEY_NAMES>", "more than 256"},
      {"<KEY_NAMES_DEAD >" + repeat(R"(<NAME char="B4"><C u="41"/></NAME>)", 257) + "</KEY_NAMES_DEAD>",
       "more than 256 keys"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    const auto before = std::make_unique<KeyboardLayout>(*f.layout);
    f.state.specialKeys.At(1, 1) = 0x1234;
    const KeyNameTable namesBefore = f.state.keyNames;
    f.state.deadKeyNames.count = 1;
    f.state.deadKeyNames.entries[0] = {0xA8, u"DIAERESIS"};
    // Exactly at the limit loads.
    EXPECT_THROW(f.Import(Doc(R"(<SPECKEYS ><SPECKEY index="1"><VALUE 2="7"/></SPECKEY></SPECKEYS>)" + c.body)),
                 CapacityError);
    EXPECT_TRUE(SameLayout(*before, *f.layout));
    EXPECT_EQ(f.state.specialKeys.At(1, 1), 0x1234);
    EXPECT_EQ(f.state.specialKeys.At(1, 2), 0x09);
    EXPECT_EQ(f.state.keyNames.count, namesBefore.count);
    EXPECT_EQ(f.state.keyNames.entries[0].name, namesBefore.entries[0].name);
    ASSERT_EQ(f.state.deadKeyNames.count, 1);
    EXPECT_EQ(f.state.deadKeyNames.entries[0].name, u"DIAERESIS");
  }
  Fixture f;
  EXPECT_TRUE(f.Import(Doc("<DIACRITICS >" + repeat(R"(<DIACRITIC kvacica="5E" nosac="61" rezultat="E2"/>)", 1200) +
                           "</DIACRITICS><KEY_NAMES >" + repeat(R"(<NAME scan="1"><C u="41"/></NAME>)", 256) +
                           "</KEY_NAMES>")));
  EXPECT_EQ(f.layout->deadCount, 1200);
  EXPECT_EQ(f.state.keyNames.count, 256);
}

TEST(LayoutDataFile, ADocumentThatEndsBeforeItsRootIsClosedIsRefusedAsIncomplete) {
  const std::string demo = testing::ReadHost(std::string(TASTORA_SOURCE_DIR) + "/examples/tastora-demo.vyr2000");
  constexpr std::string_view kClose = "</VYR_DAT_FILE>";
  const size_t end = demo.rfind(kClose) + kClose.size();
  ASSERT_GT(end, kClose.size());
  struct Case {
    std::string name;
    std::string text;
  };
  std::vector<Case> cases = {
      {"without its final closing tag", std::string(kRoot) + kCreatedNt + R"(<SETTINGS font_script="0" altgr_used="1" lcid="407"/>)"},
      {"without CREATED either", std::string(kRoot) + "<KEYS >"},
      {"root alone", kRoot},
      {"closing tag cut", demo.substr(0, end - 1)},
      {"inside the root's own tag", demo.substr(0, 20)},
      {"a root inside the root closed, the outer one not", Doc("", kRoot, std::string(kCreatedNt) + kRoot) },
  };
  for (int percent = 5; percent < 100; percent += 2)
    cases.push_back({"cut at " + std::to_string(percent) + " %", demo.substr(0, demo.size() * size_t(percent) / 100)});
  for (const Case& c : cases) {
    if (c.text.size() >= end && c.text.compare(end - kClose.size(), kClose.size(), kClose) == 0) continue;
    SCOPED_TRACE(c.name);
    Fixture f;
    f.state.unattended = true;
    const auto before = std::make_unique<KeyboardLayout>(*f.layout);
    const ProcessState stateBefore = f.state;
    try {
      f.Import(c.text);
      ADD_FAILURE() << "loaded";
    } catch (const IncompleteFileError& e) {
      EXPECT_STREQ(e.what(), "The layout data file is incomplete: it ends before </VYR_DAT_FILE>.");
    }
    EXPECT_TRUE(SameLayout(*before, *f.layout));
    // The names and special keys read before the end are put back too.
    EXPECT_EQ(f.state.keyNames.count, stateBefore.keyNames.count);
    EXPECT_TRUE(f.state.keyNames.entries[0].name == stateBefore.keyNames.entries[0].name);
    EXPECT_EQ(f.state.deadKeyNames.count, stateBefore.deadKeyNames.count);
    EXPECT_EQ(f.state.specialKeys.cells, stateBefore.specialKeys.cells);
  }
  Fixture whole;
  whole.state.unattended = true;
  EXPECT_TRUE(whole.Import(demo.substr(0, end)));
}

TEST(LayoutDataFile, FailedLoadsStillResetSpecialKeysAndKeepNamesRead) {
  Fixture f;
  f.state.specialKeys.At(4, 5) = 0x1111;
  f.state.deadKeyNames.count = 1;
  // No CREATED: never completes, yet the key names it reached replace the table.
  EXPECT_FALSE(f.Import(std::string(kRoot) + "<KEY_NAMES ><NAME scan=\"2\"><C u=\"5A\"/></NAME></KEY_NAMES>" +
                        "</VYR_DAT_FILE>"));
  EXPECT_EQ(f.state.specialKeys.At(4, 5), 0x0A);
  EXPECT_EQ(f.state.keyNames.count, 52);  // the table is only read after CREATED
  EXPECT_EQ(f.state.deadKeyNames.count, 0);  // a file without the list has none

  // Without SETTINGS an 8-bit file is widened with the previous import's script.
  Fixture g;
  g.state.fontScript = 204;
  ASSERT_TRUE(g.Import(Doc(R"(<KEYS ><KEY scan="10" vk="51"><VALUE 0="C6"/></KEY></KEYS>)", "<VYR_DAT_FILE>", "<CREATED/>")));
  EXPECT_EQ(g.layout->Key(15).chars[0], 0x0416);
  EXPECT_EQ(g.layout->altgr_used, 0);
  EXPECT_EQ(g.layout->lcid, 0);
}

TEST(LayoutDataFile, TheImportMessageIsNotShownUnattended) {
  Fixture f;
  f.state.unattended = true;
  ASSERT_TRUE(f.Import(Doc("")));
  EXPECT_TRUE(f.dialogs.messages.empty());
}

TEST(LayoutDataFile, OlderBinaryFormLoadsThroughTheMarkupLoader) {
  // A VYR2000 file, version 2.65: Mapped is written and read back in decimal.
  constexpr size_t kKeys = 109, kRecord = 35;
  ByteWriter w(11130);
  w.Bytes(0, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("VYR2000"), 7));
  w.U8(8, 2);
  w.U8(9, 65);
  const size_t a = kKeys + 26 * kRecord;  // position 27: key 27
  w.U16(a + 0, u'a');
  w.U16(a + 2, u'A');
  w.U8(a + 16 + 1, 1);  // Shift column is a dead key
  w.U8(a + 24, 1);
  w.U16(a + 27, 0x41);
  w.U16(kKeys + 70 * kRecord + 27, 0x01A3);  // position 71: Right Ctrl, scan E0 1D
  const size_t caps = kKeys + 72 * kRecord;   // position 73: Caps Lock
  w.U16(caps + 27, 0x14);
  w.U32(caps + 29, 10);
  w.U8(caps + 34, 1);
  w.U32(3749, 1);
  w.U16(3753, u'A');
  w.U16(3755, u'e');
  w.U16(3757, 0xEA);
  w.U8(10953, 1);
  w.U16(10954, 0x0407);
  w.U8(11111, 1);  // WinNT
  w.U32(11112, 1);
  w.U32(11116, 0);
  w.U8(11120, 0x3A);
  w.U8(11121, 2);
  w.U16(11122, u'K');
  w.U16(11124, u'L');

  Fixture f;
  f.files.Put("old.vyr2000", w.Take());
  ASSERT_TRUE(ImportLayoutFile("old.vyr2000", *f.layout, f.state, f.ports));
  const KeyboardLayout& l = *f.layout;
  EXPECT_EQ(l.Key(27).chars[0], u'a');
  EXPECT_EQ(l.Key(27).chars[1], u'A');
  EXPECT_EQ(l.Key(27).dead[1], 1);
  EXPECT_EQ(l.Key(27).CapsAware, 1);
  EXPECT_EQ(l.Key(71).vk, 0x01A3);
  EXPECT_EQ(l.Key(73).Mapped, 10);
  EXPECT_EQ(l.Key(73).CapsAware2, 1);
  EXPECT_EQ(l.Key(74).vk, 0);  // every position's record is read, empty ones too
  ASSERT_EQ(l.deadCount, 1);
  EXPECT_EQ(l.deadKeys[0].result, 0xEA);
  EXPECT_EQ(l.altgr_used, 1);
  EXPECT_EQ(l.lcid, 0x0407);
  ASSERT_EQ(f.state.keyNames.count, 1);
  EXPECT_EQ(f.state.keyNames.entries[0].scan, 0x3A);
  EXPECT_EQ(f.state.keyNames.entries[0].name, u"KL");
  EXPECT_EQ(f.state.extendedKeyNames.count, 0);
  ASSERT_EQ(f.dialogs.messages.size(), 1u);
  EXPECT_EQ(f.dialogs.messages[0], "Layout: \r\rFile created with VYR32 ver 2.65\r\rplatform WINNT");

  // A magic the loader does not know.
  Fixture g;
  g.files.Put("x.vyr2000", std::string("VYR3000") + std::string(20, '\0'));
  EXPECT_FALSE(ImportLayoutFile("x.vyr2000", *g.layout, g.state, g.ports));
  EXPECT_EQ(g.dialogs.messages.at(0), "This is not vyr32 file!\rx.vyr2000");
}

TEST(NumberText, HexAndDecimal) {
  EXPECT_EQ(HexValue("0"), 0);
  EXPECT_EQ(HexValue("00000407"), 0x407);
  EXPECT_EQ(HexValue("FFFFFFFF"), -1);
  EXPECT_EQ(HexValue("000FFFFFFFF"), -1);
  EXPECT_EQ(HexByte("1FF"), 0xFF);
  EXPECT_THROW(HexValue("ff"), ConversionError);  // values arrive upper-cased
  EXPECT_THROW(HexValue("$1"), ConversionError);
  EXPECT_THROW(HexValue("100000000"), ConversionError);
  EXPECT_EQ(DecimalValue("-2147483648"), INT32_MIN);
  EXPECT_EQ(DecimalValue("2147483647"), INT32_MAX);
  EXPECT_THROW(DecimalValue("2147483648"), ConversionError);
  EXPECT_THROW(DecimalValue("-"), ConversionError);
  EXPECT_THROW(DecimalValue("1 2"), ConversionError);
  EXPECT_EQ(HexText(0x1A, 4), "001A");
  EXPECT_EQ(HexText(0x12345, 4), "12345");
  EXPECT_EQ(HexText(0, 1), "0");
}

}  // namespace
}  // namespace tastora
