// Wine registry files: the text forms, what a rewrite keeps, malformed files,
// the registry and folders of a Windows root.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "TestPorts.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/OfflineRegistry.h"
#include "platform/offline/OfflineRoot.h"
#include "platform/offline/OfflineSession.h"
#include "platform/offline/WineRegistryFile.h"
#include "platform/offline/WineRegistryText.h"
#include "system/RegistryEnhanced.h"
#include "tests/TestFiles.h"
#include "tests/WineHost.h"

namespace tastora {
namespace {

using testing::TempDir;
using testing::ReadHost;
using testing::WriteHost;
namespace fs = std::filesystem;
using testing::RecordingDialogs;

constexpr uint64_t kSomeTime = 133000000000000000ull;  // 2022, in file-time ticks

std::vector<uint8_t> Utf16z(std::u16string_view text) {
  std::vector<uint8_t> out;
  for (char16_t c : text) {
    out.push_back(uint8_t(c));
    out.push_back(uint8_t(c >> 8));
  }
  out.insert(out.end(), {0, 0});
  return out;
}

std::unique_ptr<WineRegistryFile> ParseOk(const std::string& text) {
  WineRegistryFile::Error error;
  auto file = WineRegistryFile::Parse(text, error);
  EXPECT_TRUE(file) << "line " << error.line << ": " << error.reason;
  return file;
}

// --- the string forms -------------------------------------------------------

TEST(WineRegistryText, EscapesAsWineWritesAndReadsBack) {
  struct Case {
    std::u16string text;
    std::string escaped;
  };
  const Case cases[] = {
      {u"Keyboard Layout", "Keyboard Layout"},
      {u"a\\b", "a\\\\b"},
      {u"say \"hi\"", "say \\\"hi\\\""},
      {u"Fran\u00e7ais", "Fran\\x00e7ais"},  // a hexadecimal digit follows: four digits
      {u"\u00e7", "\\xe7"},
      {u"\u0414\u0430", "\\x414\\x430"},
      {u"\u4e2d1", "\\x4e2d1"},
      {u"tab\there\n", "tab\\there\\n"},
      {u"\u0001x\u00015", "\\1x\\0015"},  // an octal digit follows: three digits
      {u"esc\u001b", "esc\\e"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(winereg::Escape(c.text, '"', '"'), c.escaped);
    std::u16string back;
    const auto used = winereg::ParseEscaped(c.escaped + "\"rest", '"', back);
    ASSERT_TRUE(used) << c.escaped;
    EXPECT_EQ(*used, c.escaped.size() + 1);
    EXPECT_EQ(back, c.text) << c.escaped;
  }
  // Key names escape their brackets instead of quotes.
  EXPECT_EQ(winereg::Escape(u"a[1]\"", '[', ']'), "a\\[1\\]\"");
}

TEST(WineRegistryText, ReadsUtf8AndRefusesAMissingDelimiter) {
  std::u16string out;
  EXPECT_TRUE(winereg::ParseEscaped("Fran\xC3\xA7" "ais\"", '"', out));
  EXPECT_EQ(out, u"Fran\u00e7ais");
  EXPECT_TRUE(winereg::ParseEscaped("\xF0\x9F\x98\x80\"", '"', out));
  EXPECT_EQ(out, u"\U0001F600");
  EXPECT_FALSE(winereg::ParseEscaped("no end", '"', out));
  EXPECT_FALSE(winereg::ParseEscaped("ends in a backslash\\", '"', out));
}

TEST(WineRegistryText, NamesCompareWithoutCase) {
  EXPECT_TRUE(winereg::SameName(u"Keyboard Layout", u"KEYBOARD layout"));
  EXPECT_TRUE(winereg::SameName(u"\u00c9T\u00c9", u"\u00e9t\u00e9"));
  EXPECT_TRUE(winereg::SameName(u"\u0414", u"\u0434"));
  EXPECT_FALSE(winereg::SameName(u"ab", u"abc"));
  EXPECT_LT(winereg::CompareNames(u"a", u"B"), 0);
}

// --- files --------------------------------------------------------------------

const std::string kSample =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\Machine\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Keyboard Layout\\\\Preload] 1700000000\n"
    "#time=1d9f0e0a0b0c0d0\n"
    "\"1\"=\"00000409\"\n"
    "; a comment the program keeps\n"
    "\"2\"=\"00000407\"\n"
    "\n"
    "[Software\\\\Bin] 1700000000\n"
    "#time=1d9f0e0a0b0c0d0\n"
    "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
    "  16,17,18,19\n"
    "\"Many\"=str(7):\"one\\0two\\0\"\n"
    "\"Count\"=dword:0000002a\n"
    "@=\"default\"\n"
    "\n"
    "[Software\\\\Empty] 1700000000\n"
    "#time=1d9f0e0a0b0c0d0\n";

TEST(WineRegistryFile, RewritesAnUnchangedFileByteForByte) {
  for (const std::string& text : {kSample, std::string("WINE REGISTRY Version 2\r\n[A] 1\r\n\"x\"=\"y\"\r\n"),
                                   std::string("WINE REGISTRY Version 2\n[A]\n\"x\"=\"no final line end\"")}) {
    auto file = ParseOk(text);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Serialize(kSomeTime), text);
  }
}

TEST(WineRegistryFile, ReadsEveryValueForm) {
  auto file = ParseOk(kSample);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Architecture(), "win64");
  WineRegistryFile::Key* bin = file->Find({u"SOFTWARE", u"bin"});
  ASSERT_TRUE(bin);
  const auto* blob = file->FindValue(*bin, u"blob");
  ASSERT_TRUE(blob);
  EXPECT_EQ(blob->type, kRegBinary);
  ASSERT_EQ(blob->data.size(), 26u);
  EXPECT_EQ(blob->data[25], 0x19);
  const auto* many = file->FindValue(*bin, u"Many");
  ASSERT_TRUE(many);
  EXPECT_EQ(many->type, kRegMultiSz);
  EXPECT_EQ(many->data, Utf16z(std::u16string(u"one\0two\0", 8)));
  const auto* count = file->FindValue(*bin, u"Count");
  ASSERT_TRUE(count);
  EXPECT_EQ(count->data, (std::vector<uint8_t>{42, 0, 0, 0}));
  const auto* def = file->FindValue(*bin, u"");
  ASSERT_TRUE(def);
  EXPECT_EQ(def->data, Utf16z(u"default"));
  // Every value written back in Wine's form is the line it came from.
  EXPECT_EQ(WineRegistryFile::DumpValue(*blob),
            "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n  16,17,18,19\n");
  EXPECT_EQ(WineRegistryFile::DumpValue(*many), "\"Many\"=str(7):\"one\\0two\\0\"\n");
}

TEST(WineRegistryFile, ValuesOfALongKeyAreFoundByNameWithoutRegardToCase) {
  // Enough values that they are looked up through the hashed names.
  std::string text = "WINE REGISTRY Version 2\n[Keyboard Layout\\\\Preload]\n";
  for (int i = 1; i <= 40; ++i) text += "\"Name" + std::to_string(i) + "\"=\"" + std::to_string(i) + "\"\n";
  text += "\"NAME30\"=\"later\"\n\"\\xe9t\\xe9\"=dword:00000001\n";
  auto file = ParseOk(text);
  ASSERT_TRUE(file);
  WineRegistryFile::Key* key = file->Find({u"Keyboard Layout", u"Preload"});
  ASSERT_TRUE(key);
  EXPECT_EQ(key->values.size(), 41u);
  struct Case {
    std::u16string name;
    std::optional<std::u16string> text;
  };
  const Case cases[] = {
      {u"name1", u"1"}, {u"NAME17", u"17"}, {u"name30", u"later"}, {u"Name40", u"40"},
      {u"Name41", std::nullopt}, {u"Name", std::nullopt}, {u"", std::nullopt},
  };
  for (const Case& c : cases) {
    const WineRegistryFile::Value* value = file->FindValue(*key, c.name);
    ASSERT_EQ(value != nullptr, c.text.has_value()) << std::string(c.name.begin(), c.name.end());
    if (value) {
      EXPECT_EQ(value->data, Utf16z(*c.text));
    }
  }
  EXPECT_TRUE(file->FindValue(*key, u"\u00c9T\u00c9"));
  // A set replaces the value of that name, whatever its case; a new name comes last.
  EXPECT_TRUE(file->SetValue(*key, {u"NAME25", kRegSz, Utf16z(u"changed")}));
  EXPECT_TRUE(file->SetValue(*key, {u"Name42", kRegSz, Utf16z(u"42")}));
  EXPECT_EQ(key->values.size(), 42u);
  EXPECT_EQ(key->values[24].value.name, u"Name25");
  EXPECT_EQ(file->FindValue(*key, u"name25")->data, Utf16z(u"changed"));
  EXPECT_EQ(file->FindValue(*key, u"name42")->data, Utf16z(u"42"));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(WineRegistryFile, AChangeRewritesOnlyItsKey) {
  auto file = ParseOk(kSample);
  ASSERT_TRUE(file);
  WineRegistryFile::Key* preload = file->Find({u"Keyboard Layout", u"Preload"});
  ASSERT_TRUE(preload);
  EXPECT_TRUE(file->SetValue(*preload, {u"1", kRegSz, Utf16z(u"d0010409")}));
  EXPECT_TRUE(file->SetValue(*preload, {u"3", kRegSz, Utf16z(u"0000040C")}));
  EXPECT_FALSE(file->SetValue(*preload, {u"2", kRegSz, Utf16z(u"00000407")}));  // the same value again

  std::vector<std::string> expected = Lines(kSample);
  expected[5] = "[Keyboard Layout\\\\Preload] 1655526400";
  expected[6] = "#time=1d882cb9b208000";
  expected[7] = "\"1\"=\"d0010409\"";
  expected.insert(expected.begin() + 10, "\"3\"=\"0000040C\"");
  EXPECT_EQ(Lines(file->Serialize(kSomeTime)), expected);
}

TEST(WineRegistryFile, ANewValueGoesAfterTheLastValueOfItsKeyWhole) {
  // The last value goes on over two lines; the second may even look blank.
  const std::string head = "WINE REGISTRY Version 2\n[A] 1\n\"Bin\"=hex:01,02,\\\n";
  for (const std::string& continuation : {std::string("  03,04\n"), std::string(" \r\r\n")}) {
    auto file = ParseOk(head + continuation + "\n[B] 1\n");
    ASSERT_TRUE(file);
    WineRegistryFile::Key* key = file->Find({u"A"});
    ASSERT_TRUE(key);
    const std::vector<uint8_t> bin = file->FindValue(*key, u"Bin")->data;
    file->SetValue(*key, {u"new", kRegSz, Utf16z(u"x")});
    const std::string text = file->Serialize(kSomeTime);
    auto again = ParseOk(text);
    ASSERT_TRUE(again) << text;
    key = again->Find({u"A"});
    EXPECT_EQ(again->FindValue(*key, u"Bin")->data, bin) << text;
    EXPECT_EQ(again->FindValue(*key, u"new")->data, Utf16z(u"x")) << text;
  }
}

TEST(WineRegistryFile, NewKeysGoWhereWineWouldPutThem) {
  struct Case {
    std::vector<std::u16string> path;
    std::string before;  // the header line the new key comes before; empty: at the end
  };
  const Case cases[] = {
      {{u"Keyboard Layout", u"Preload", u"Extra"}, "[Software\\\\Bin] 1700000000"},
      {{u"Control Panel"}, "[Keyboard Layout\\\\Preload] 1700000000"},
      {{u"Software", u"Bin Two"}, "[Software\\\\Empty] 1700000000"},
      {{u"Zed"}, ""},
  };
  for (const Case& c : cases) {
    auto file = ParseOk(kSample);
    ASSERT_TRUE(file);
    file->SetValue(*file->Create(c.path), {u"v", kRegDword, {1, 0, 0, 0}});
    const std::string text = file->Serialize(kSomeTime);
    auto reread = ParseOk(text);
    ASSERT_TRUE(reread);
    ASSERT_TRUE(reread->Find(c.path));
    const std::vector<std::string> lines = Lines(text);
    const auto at = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l == "\"v\"=dword:00000001"; });
    ASSERT_NE(at, lines.end());
    if (c.before.empty()) {
      EXPECT_EQ(at + 1, lines.end());
    } else {
      ASSERT_LT(at + 2, lines.end());
      EXPECT_EQ(*(at + 1), "");
      EXPECT_EQ(*(at + 2), c.before);
    }
    // Nothing of the old text is lost.
    for (const std::string& line : Lines(kSample))
      EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
  }
}

TEST(WineRegistryFile, RemovedValuesAndKeysLeaveNoLineBehind) {
  struct Case {
    const char* what;
    std::function<bool(WineRegistryFile&)> change;
    std::vector<std::string> gone;   // lines of the sample no longer there
    std::vector<std::string> added;  // lines not in the sample
  };
  const auto key = [](WineRegistryFile& f, std::vector<std::u16string> path) { return f.Find(path); };
  const Case cases[] = {
      {"a value", [&](WineRegistryFile& f) { return f.RemoveValue(*key(f, {u"Keyboard Layout", u"Preload"}), u"2"); },
       {"\"2\"=\"00000407\"", "[Keyboard Layout\\\\Preload] 1700000000", "#time=1d9f0e0a0b0c0d0"},
       {"[Keyboard Layout\\\\Preload] 1655526400", "#time=1d882cb9b208000"}},
      {"a value over two lines",
       [&](WineRegistryFile& f) { return f.RemoveValue(*key(f, {u"Software", u"Bin"}), u"BLOB"); },
       {"\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\", "  16,17,18,19",
        "[Software\\\\Bin] 1700000000", "#time=1d9f0e0a0b0c0d0"},
       {"[Software\\\\Bin] 1655526400", "#time=1d882cb9b208000"}},
      {"a value not there", [&](WineRegistryFile& f) { return !f.RemoveValue(*key(f, {u"Software", u"Bin"}), u"x"); },
       {}, {}},
      {"a value removed and set again",
       [&](WineRegistryFile& f) {
         WineRegistryFile::Key* bin = key(f, {u"Software", u"Bin"});
         return f.RemoveValue(*bin, u"Count") && f.SetValue(*bin, {u"count", kRegDword, {1, 0, 0, 0}});
       },
       {"\"Count\"=dword:0000002a", "[Software\\\\Bin] 1700000000", "#time=1d9f0e0a0b0c0d0"},
       {"\"count\"=dword:00000001", "[Software\\\\Bin] 1655526400", "#time=1d882cb9b208000"}},
      {"a key", [&](WineRegistryFile& f) { return f.RemoveKey(*key(f, {u"Software", u"Empty"})); },
       {"[Software\\\\Empty] 1700000000", "#time=1d9f0e0a0b0c0d0"}, {}},
      {"a key whose parent has no lines of its own",
       [&](WineRegistryFile& f) { return f.RemoveKey(*key(f, {u"Keyboard Layout", u"Preload"})); },
       {"[Keyboard Layout\\\\Preload] 1700000000", "#time=1d9f0e0a0b0c0d0", "\"1\"=\"00000409\"",
        "; a comment the program keeps", "\"2\"=\"00000407\""},
       {"[Keyboard Layout] 1655526400", "#time=1d882cb9b208000"}},
      {"a key with subkeys", [&](WineRegistryFile& f) { return !f.RemoveKey(*key(f, {u"Software"})); }, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto file = ParseOk(kSample);
    ASSERT_TRUE(file);
    ASSERT_TRUE(c.change(*file));
    const std::string text = file->Serialize(kSomeTime);
    std::vector<std::string> before = Lines(kSample), after = Lines(text);
    for (const std::string& line : c.gone) {
      const auto at = std::find(before.begin(), before.end(), line);
      ASSERT_NE(at, before.end()) << line;
      before.erase(at);
    }
    for (const std::string& line : c.added) {
      const auto at = std::find(after.begin(), after.end(), line);
      ASSERT_NE(at, after.end()) << line << "\n" << text;
      after.erase(at);
    }
    // The rest is the sample's lines, whatever their order (the time lines of keys are alike).
    std::erase(before, "");
    std::erase(after, "");
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before) << text;
  }
  // An earlier line of a value named twice does not come back in its place.
  auto file = ParseOk("WINE REGISTRY Version 2\n[A]\n\"v\"=\"old\"\n\"V\"=\"new\"\n");
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->RemoveValue(*file->Find({u"A"}), u"v"));
  auto again = ParseOk(file->Serialize(kSomeTime));
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->FindValue(*again->Find({u"A"}), u"v"));
}

TEST(WineRegistryFile, AnEmptyNewKeyIsWrittenButAParentOnlyThroughItsChild) {
  auto file = ParseOk(std::string(WineRegistryFile::EmptyText("REGISTRY\\\\Machine", true)));
  ASSERT_TRUE(file);
  file->Create({u"Lonely"});
  file->SetValue(*file->Create({u"Parent", u"Child"}), {u"", kRegSz, Utf16z(u"x")});
  const std::string text = file->Serialize(kSomeTime);
  EXPECT_NE(text.find("\n[Lonely] "), std::string::npos);
  EXPECT_NE(text.find("\n[Parent\\\\Child] "), std::string::npos);
  EXPECT_EQ(text.find("[Parent] "), std::string::npos);
}

TEST(WineRegistryFile, RefusesMalformedFilesNamingTheLine) {
  struct Case {
    std::string text;
    int line;
    std::string reason;
  };
  const std::string head = "WINE REGISTRY Version 2\n";
  const Case cases[] = {
      {"REGEDIT4\n[A]\n", 1, "not a Wine registry file"},
      {"", 1, "not a Wine registry file"},
      {head + "[Software\\\\Open\n", 2, "malformed key"},
      {head + "[A\\\\\\\\B]\n", 2, "malformed key"},
      {head + "\"v\"=\"x\"\n", 2, "value without a key"},
      {head + "[A]\n\"v\"=dword:xyz\n", 3, "malformed value"},
      {head + "[A]\n\"v\"=dword:123456789\n", 3, "malformed value"},
      {head + "[A]\n\"v\"=\"unterminated\n", 3, "malformed value"},
      {head + "[A]\n\"v\"=str(3):\"x\"\n", 3, "malformed value"},
      {head + "[A]\n\"v\"=hex:01,2g\n", 3, "malformed value"},
      {head + "[A]\n\"v\"=hex:100\n", 3, "malformed value"},
      {head + "[A]\n\"v\"=hex:01,\\\n", 3, "malformed value"},
      {head + "[A]\n\"v\"=hex:01,\\\n  02,zz\n", 4, "malformed value"},
      {head + "[A]\n\"v\" \"x\"\n", 3, "malformed value name"},
      {head + "[A]\n\"v=\"x\"\n", 3, "malformed value name"},
      {head + "#arch=win16\n", 2, "unknown architecture"},
      {head + "[A]\n#class=broken\n", 3, "malformed class"},
      {head + "[A]\njunk\n", 3, "unrecognized input"},
  };
  for (const Case& c : cases) {
    WineRegistryFile::Error error;
    EXPECT_FALSE(WineRegistryFile::Parse(c.text, error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_EQ(error.reason, c.reason) << c.text;
  }
}

// --- the registry of a root ---------------------------------------------------------

struct RootFixture {
  RootFixture(RootWindows windows = RootWindows::Windows10) {
    std::string error;
    EXPECT_TRUE(OfflineRoot::Create(dir.path, windows, error)) << error;
  }
  std::unique_ptr<OfflineRegistry> Registry(std::string* loadError = nullptr) {
    auto registry = std::make_unique<OfflineRegistry>(OfflineRoot(dir.path), codePages, dialogs);
    std::string error;
    const bool loaded = registry->Load(error);
    if (loadError) *loadError = error;
    else EXPECT_TRUE(loaded) << error;
    return registry;
  }
  TempDir dir{"tastora-reg"};
  IconvCodePages codePages;
  RecordingDialogs dialogs;
};

TEST(OfflineRegistry, AChangeOutsideAnActionIsInTheFileAtOnce) {
  RootFixture root;
  auto registry = root.Registry();
  auto before = root.Registry();
  TRegistryEnhanced user(*registry, RootKey::hkCurrentUser);
  user.SetKey("\\Keyboard Layout\\Substitutes");
  ASSERT_TRUE(user.WriteValue("d0010409", std::string("00020409")));
  EXPECT_NE(ReadHost(root.dir.path / "user.reg").find("[Keyboard Layout\\\\Substitutes] "), std::string::npos);

  auto after = root.Registry();
  TRegistryEnhanced reader(*after, RootKey::hkCurrentUser);
  reader.SetKey("\\KEYBOARD LAYOUT\\substitutes");
  EXPECT_EQ(reader.ReadText("D0010409"), "00020409");
  // A program keeps what it read until it asks for the files again.
  TRegistryEnhanced early(*before, RootKey::hkCurrentUser);
  early.SetKey("\\Keyboard Layout\\Substitutes");
  EXPECT_EQ(early.ReadText("d0010409"), "");
  EXPECT_TRUE(before->RefreshIfChanged());
  EXPECT_EQ(early.ReadText("d0010409"), "00020409");
  ASSERT_TRUE(user.WriteValue("d0010409", std::string("00010409")));
  EXPECT_TRUE(after->RefreshIfChanged());
  EXPECT_EQ(reader.ReadText("d0010409"), "00010409");
  EXPECT_TRUE(root.dialogs.messages.empty());
}

TEST(OfflineRegistry, AnActionWritesItsChangesTogetherAtItsEnd) {
  RootFixture root;
  const fs::path machineFile = root.dir.path / "system.reg";
  const fs::path userFile = root.dir.path / "user.reg";
  auto registry = root.Registry();
  auto other = root.Registry();
  const std::string machineBefore = ReadHost(machineFile);
  const std::string userBefore = ReadHost(userFile);
  {
    RegistryWrites writes(*registry);
    TRegistryEnhanced machine(*registry, RootKey::hkLocalMachine);
    machine.SetKey("\\System\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000409");
    ASSERT_TRUE(machine.WriteValue("Layout File", std::string("KBD1.dll")));
    ASSERT_TRUE(machine.WriteValue("Layout Text", std::string("Mine")));
    TRegistryEnhanced user(*registry, RootKey::hkCurrentUser);
    user.SetKey("\\Keyboard Layout\\Preload");
    ASSERT_TRUE(user.WriteValue("2", std::string("a0000409")));
    EXPECT_EQ(user.ReadText("2"), "a0000409");
    // Nothing is on disk before the end; another program's change meanwhile is kept.
    EXPECT_EQ(ReadHost(machineFile), machineBefore);
    EXPECT_EQ(ReadHost(userFile), userBefore);
    TRegistryEnhanced elsewhere(*other, RootKey::hkLocalMachine);
    elsewhere.SetKey("\\Software\\Other");
    ASSERT_TRUE(elsewhere.WriteValue("x", 1));
    EXPECT_TRUE(registry->RefreshIfChanged());
    EXPECT_EQ(machine.ReadText("Layout Text"), "Mine");
    EXPECT_TRUE(writes.Commit());
  }
  for (const auto& entry : fs::directory_iterator(root.dir.path))
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();  // no temporary file left
  auto fresh = root.Registry();
  TRegistryEnhanced machine(*fresh, RootKey::hkLocalMachine);
  machine.SetKey("\\System\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000409");
  EXPECT_EQ(machine.ReadText("Layout File"), "KBD1.dll");
  machine.SetKey("\\Software\\Other");
  EXPECT_EQ(machine.ReadText("x"), "1");
  TRegistryEnhanced user(*fresh, RootKey::hkCurrentUser);
  user.SetKey("\\Keyboard Layout\\Preload");
  EXPECT_EQ(user.ReadText("2"), "a0000409");
  EXPECT_TRUE(root.dialogs.messages.empty());
}

TEST(OfflineRegistry, WhenTheMachineFileCannotBeWrittenTheUserFileIsLeftAlone) {
  RootFixture root;
  const fs::path machineFile = root.dir.path / "system.reg";
  const fs::path userFile = root.dir.path / "user.reg";
  auto registry = root.Registry();
  const std::string userBefore = ReadHost(userFile);
  RegistryWrites writes(*registry);
  TRegistryEnhanced machine(*registry, RootKey::hkLocalMachine);
  machine.SetKey("\\Software\\Mine");
  ASSERT_TRUE(machine.WriteValue("v", 1));
  TRegistryEnhanced user(*registry, RootKey::hkCurrentUser);
  user.SetKey("\\Keyboard Layout\\Preload");
  ASSERT_TRUE(user.WriteValue("2", std::string("00000407")));
  // Another program leaves the machine's file unreadable meanwhile.
  const std::string broken = ReadHost(machineFile) + "junk\n";
  WriteHost(machineFile, broken);

  EXPECT_FALSE(writes.Commit());
  EXPECT_EQ(ReadHost(machineFile), broken);
  EXPECT_EQ(ReadHost(userFile), userBefore);
  EXPECT_EQ(user.ReadText("2"), "");  // what was not written is not kept either
  ASSERT_EQ(root.dialogs.messages.size(), 1u);
  EXPECT_NE(root.dialogs.messages[0].find(machineFile.string()), std::string::npos);
}

TEST(OfflineRegistry, TheNextActionFinishesWritesCutShortBetweenTheTwoFiles) {
  struct Case {
    const char* what;
    bool machineFileReplaced;  // the action was cut after the machine's file, not before
  };
  const Case cases[] = {{"cut after the machine's file", true}, {"cut before the machine's file", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RootFixture root;
    const fs::path machineFile = root.dir.path / "system.reg";
    const fs::path userFile = root.dir.path / "user.reg";
    const std::string userBefore = ReadHost(userFile);
    {
      auto registry = root.Registry();
      RegistryWrites writes(*registry);
      TRegistryEnhanced machine(*registry, RootKey::hkLocalMachine);
      machine.SetKey("\\Software\\Mine");
      ASSERT_TRUE(machine.WriteValue("v", 1));
      TRegistryEnhanced user(*registry, RootKey::hkCurrentUser);
      user.SetKey("\\Keyboard Layout\\Preload");
      ASSERT_TRUE(user.WriteValue("2", std::string("00000407")));
      ASSERT_TRUE(writes.Commit());
    }
    // What a program killed between the two files leaves: the user's new
    // file waiting beside the old one, named for the machine's file it goes with.
    const std::string userAfter = ReadHost(userFile);
    struct stat machine {};
    ASSERT_EQ(::stat(machineFile.c_str(), &machine), 0);
    const uintmax_t belongsTo = uintmax_t(machine.st_ino) + (c.machineFileReplaced ? 0 : 1);
    const fs::path waiting = root.dir.path / (".user.reg.after-" + std::to_string(belongsTo));
    WriteHost(waiting, userAfter);
    WriteHost(userFile, userBefore);

    auto next = root.Registry();
    EXPECT_TRUE(next->RefreshIfChanged());
    EXPECT_FALSE(fs::exists(waiting));
    EXPECT_EQ(ReadHost(userFile), c.machineFileReplaced ? userAfter : userBefore);
    TRegistryEnhanced user(*next, RootKey::hkCurrentUser);
    user.SetKey("\\Keyboard Layout\\Preload");
    EXPECT_EQ(user.ReadText("2"), c.machineFileReplaced ? "00000407" : "");
  }
}

TEST(OfflineRegistry, RemovesValuesAndKeysWithoutSubkeys) {
  RootFixture root;
  {
    auto registry = root.Registry();
    TRegistryEnhanced machine(*registry, RootKey::hkLocalMachine);
    machine.SetKey("\\Software\\Classes\\.vyr2000\\Shell");
    ASSERT_TRUE(machine.WriteValue("", std::string("open")));
    machine.SetKey("\\System\\Keyboard Layouts\\a0000409");
    ASSERT_TRUE(machine.WriteValue("Layout File", std::string("KBD1.dll")));
    ASSERT_TRUE(machine.WriteValue("Layout Text", std::string("Mine")));
  }
  struct Case {
    RootKey root;
    std::string path;
    bool removed;
    bool there;  // afterwards, read through a new opening
  };
  const Case cases[] = {
      {RootKey::hkLocalMachine, "System\\Keyboard Layouts\\A0000409", true, false},
      {RootKey::hkLocalMachine, "System\\Keyboard Layouts\\b0000409", true, false},  // never was
      {RootKey::hkClassesRoot, ".vyr2000", false, true},                               // has a subkey
      {RootKey::hkClassesRoot, "", false, true},                                       // a root
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto registry = root.Registry();
    EXPECT_EQ(registry->DeleteKey(c.root, c.path), c.removed);
    auto fresh = root.Registry();
    EXPECT_EQ(fresh->Open(c.root, c.path, false) != nullptr, c.there);
  }
  auto registry = root.Registry();
  auto shell = registry->Open(RootKey::hkClassesRoot, ".vyr2000\\shell", false);
  ASSERT_TRUE(shell);
  EXPECT_TRUE(shell->DeleteValue(""));
  EXPECT_TRUE(shell->DeleteValue("not there"));
  EXPECT_FALSE(shell->QueryValue(""));
  EXPECT_TRUE(shell->ValueNames().empty());
  EXPECT_TRUE(registry->DeleteKey(RootKey::hkClassesRoot, ".vyr2000\\Shell"));
  EXPECT_FALSE(shell->QueryValue(""));  // an open key that went finds nothing
  EXPECT_FALSE(shell->SetValue("x", RegistryData{kRegSz, {'x', 0}}));
  auto fresh = root.Registry();
  EXPECT_FALSE(fresh->Open(RootKey::hkClassesRoot, ".vyr2000\\Shell", false));
  EXPECT_TRUE(fresh->Open(RootKey::hkClassesRoot, ".vyr2000", false));
  EXPECT_TRUE(root.dialogs.messages.empty());
}

TEST(OfflineRegistry, NonAsciiNamesAndTextUseTheSystemCodePage) {
  RootFixture root;
  auto registry = root.Registry();
  TRegistryEnhanced machine(*registry, RootKey::hkLocalMachine);
  machine.SetKey("\\Software\\Caf\xE9");
  ASSERT_TRUE(machine.WriteValue("Na\xEFve \"quoted\"", std::string("Fran\xE7" "ais \x80 C:\\x")));
  const std::string text = ReadHost(root.dir.path / "system.reg");
  EXPECT_NE(text.find("[Software\\\\Caf\\xe9] "), std::string::npos) << text;
  EXPECT_NE(text.find("\"Na\\xefve \\\"quoted\\\"\"=\"Fran\\x00e7" "ais \\x20ac C:\\\\x\""), std::string::npos) << text;
  EXPECT_EQ(machine.ReadText("Na\xEFve \"quoted\""), "Fran\xE7" "ais \x80 C:\\x");
}

TEST(OfflineRegistry, AMalformedFileIsRefusedAndNothingIsWritten) {
  RootFixture root;
  const fs::path userFile = root.dir.path / "user.reg";
  const std::string broken = ReadHost(userFile) + "\n[Keyboard Layout\\\\Preload]\n\"1\"=dword:nothex\n";
  WriteHost(userFile, broken);

  std::string error;
  auto registry = root.Registry(&error);
  EXPECT_EQ(error, userFile.string() + ":" + std::to_string(std::count(broken.begin(), broken.end(), '\n')) +
                       ": malformed value");
  TRegistryEnhanced user(*registry, RootKey::hkCurrentUser);
  user.SetKey("\\Keyboard Layout\\Preload");
  EXPECT_FALSE(user.WriteValue("2", std::string("00000407")));
  EXPECT_EQ(user.ReadText("1"), "");
  EXPECT_EQ(ReadHost(userFile), broken);
  // Reported once, however often the file is asked for.
  ASSERT_EQ(root.dialogs.messages.size(), 1u);
  EXPECT_NE(root.dialogs.messages[0].find(": malformed value"), std::string::npos);
}

TEST(OfflineRegistry, RootsAreTheHivesWindowsMapsThemTo) {
  RootFixture root;
  auto registry = root.Registry();
  TRegistryEnhanced classes(*registry, RootKey::hkClassesRoot);
  classes.SetKey("\\.vyr2000");
  ASSERT_TRUE(classes.WriteValue("", std::string("vyrfile")));
  TRegistryEnhanced machine(*registry, RootKey::hkLocalMachine);
  machine.SetKey("\\Software\\Classes\\.vyr2000");
  EXPECT_EQ(machine.ReadText(""), "vyrfile");
  EXPECT_EQ(registry->Open(RootKey::hkUsers, "", false), nullptr);
  EXPECT_EQ(registry->Open(RootKey::hkDynData, "", false), nullptr);
  EXPECT_EQ(registry->Open(RootKey::hkLocalMachine, "\\Software", false), nullptr);
  EXPECT_EQ(registry->Open(RootKey::hkLocalMachine, "Software\\\\Classes", false), nullptr);
  EXPECT_NE(registry->Open(RootKey::hkLocalMachine, "Software\\Classes\\", false), nullptr);
}

// --- folders and versions of a root -------------------------------------------------

TEST(OfflineRoot, MapsWindowsPathsOntoTheTree) {
  RootFixture root64;
  RootFixture root32(RootWindows::WindowsXp);
  const fs::path w64 = root64.dir.path / "drive_c" / "windows";
  const fs::path w32 = root32.dir.path / "drive_c" / "windows";
  WriteHost(w64 / "system32" / "kbdus.dll", "");
  struct Case {
    const RootFixture& root;
    std::string windowsPath;
    bool redirected;
    std::optional<fs::path> host;
  };
  const Case cases[] = {
      {root64, "C:\\WINDOWS\\System32\\KBDUS.DLL", false, w64 / "system32" / "kbdus.dll"},
      {root64, "c:\\windows\\system32\\kbdus.dll", true, w64 / "syswow64" / "kbdus.dll"},
      {root64, "C:\\Windows\\Sysnative\\kbdus.dll", true, w64 / "system32" / "kbdus.dll"},
      {root64, "C:/windows/./temp/../loader.ini", false, w64 / "loader.ini"},
      {root32, "C:\\windows\\system32\\kbdus.dll", true, w32 / "system32" / "kbdus.dll"},
      {root64, "D:\\layouts\\x.dll", false, std::nullopt},
      {root64, "windows\\system32", false, std::nullopt},
  };
  for (const Case& c : cases) {
    const OfflineRoot root(c.root.dir.path);
    EXPECT_EQ(root.HostPath(c.windowsPath, c.redirected), c.host) << c.windowsPath;
  }
}

TEST(OfflineRoot, EachRootKeepsItsWindowsVersion) {
  struct Case {
    RootWindows windows;
    WindowsVersion version;
    bool win64;
    const char* systemFolder;
  };
  const Case cases[] = {
      {RootWindows::Windows10, {kPlatformWin32Nt, 10, 0, 19045}, true, "system32"},
      {RootWindows::WindowsXp, {kPlatformWin32Nt, 5, 1, 2600}, false, "system32"},
      {RootWindows::Windows98, {kPlatformWin32Windows, 4, 10, 2222}, false, "system"},
      {RootWindows::Windows95, {kPlatformWin32Windows, 4, 0, 950}, false, "system"},
  };
  for (const Case& c : cases) {
    RootFixture root(c.windows);
    auto registry = root.Registry();
    OfflineSession session(*registry);
    const WindowsVersion v = session.Version();
    EXPECT_EQ(v.platformId, c.version.platformId);
    EXPECT_EQ(v.major, c.version.major);
    EXPECT_EQ(v.minor, c.version.minor);
    EXPECT_EQ(v.build, c.version.build);
    const OfflineRoot offline(root.dir.path);
    EXPECT_TRUE(offline.IsRoot());
    EXPECT_EQ(offline.Is64Bit(), c.win64);
    EXPECT_TRUE(fs::is_directory(offline.WindowsFolder() / c.systemFolder));
    EXPECT_EQ(ParseOk(ReadHost(root.dir.path / "system.reg"))->Architecture(), c.win64 ? "win64" : "win32");
  }
  std::string error;
  TempDir again{"tastora-reg"};
  ASSERT_TRUE(OfflineRoot::Create(again.path, RootWindows::Windows10, error));
  EXPECT_FALSE(OfflineRoot::Create(again.path, RootWindows::Windows10, error));
}

// --- real Wine files --------------------------------------------------------------

TEST(WineRegistryFile, RealWineFilesRewriteUnchangedAndValuesAsWineWritesThem) {
  const auto prefix = testing::SharedWinePrefix();
  if (!prefix) GTEST_SKIP() << "Wine (/usr/lib/wine/wine64) is not installed";
  for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
    const std::string text = ReadHost(*prefix / name);
    ASSERT_FALSE(text.empty()) << name;
    auto file = ParseOk(text);
    ASSERT_TRUE(file) << name;
    EXPECT_EQ(file->Serialize(kSomeTime), text) << name;

    // Each value dumped again is exactly the lines Wine wrote for it.
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
      const size_t end = text.find('\n', start);
      lines.push_back(text.substr(start, end - start + 1));
      start = end + 1;
    }
    size_t checked = 0;
    std::vector<const WineRegistryFile::Key*> stack{file->Root()};
    while (!stack.empty()) {
      const WineRegistryFile::Key* key = stack.back();
      stack.pop_back();
      for (const auto& sub : key->subkeys) stack.push_back(sub.get());
      for (const auto& slot : key->values) {
        ASSERT_TRUE(slot.block);
        std::string original;
        for (size_t i = 0; i < slot.lineCount; ++i) original += slot.block->lines[slot.firstLine + i];
        EXPECT_EQ(WineRegistryFile::DumpValue(slot.value), original);
        ++checked;
      }
    }
    EXPECT_GT(checked, 10u) << name;
  }
}

TEST(WineRegistryFile, RealWineFileChangedKeepsEveryOtherLine) {
  const auto prefix = testing::SharedWinePrefix();
  if (!prefix) GTEST_SKIP() << "Wine (/usr/lib/wine/wine64) is not installed";
  const std::string text = ReadHost(*prefix / "user.reg");
  auto file = ParseOk(text);
  ASSERT_TRUE(file);
  WineRegistryFile::Key* preload = file->Create({u"Keyboard Layout", u"Preload"});
  file->SetValue(*preload, {u"2", kRegSz, Utf16z(u"00000407")});
  file->SetValue(*file->Create({u"Keyboard Layout", u"Substitutes"}), {u"d0010409", kRegSz, Utf16z(u"00020409")});
  const std::string changed = file->Serialize(kSomeTime);

  // Remove what the change added; the rest is the old file, line for line.
  std::vector<std::string> before = Lines(text);
  std::vector<std::string> after = Lines(changed);
  std::erase_if(after, [](const std::string& l) { return l == "\"2\"=\"00000407\"" || l == "\"d0010409\"=\"00020409\""; });
  ASSERT_EQ(before.size() + 3, after.size());  // the new key's header, time and the blank line after it
  size_t differing = 0;
  for (size_t i = 0, j = 0; i < before.size(); ++i, ++j) {
    if (after[j].rfind("[Keyboard Layout\\\\Substitutes]", 0) == 0) j += 3;
    if (before[i] != after[j]) ++differing;
  }
  EXPECT_EQ(differing, 2u);  // the preload key's header and time lines
}

}  // namespace
}  // namespace tastora
