// New layouts on Windows roots made here: identifiers, "Layout Id" values,
// file names, the copies into both system folders, the registration and the
// preload entry; the refusals that leave the system as it was.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "TestPorts.h"
#include "platform/PlatformFactory.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/OfflineSystemFiles.h"
#include "system/LanguageTable.h"
#include "system/NewKbd.h"
#include "tests/TestFiles.h"
#include "tests/TestRoots.h"

namespace tastora {
namespace {

using testing::TempDir;
using testing::ReadHost;
namespace fs = std::filesystem;
using testing::RecordingDialogs;

const std::string kLayouts = std::string(kLayoutsKey) + "\\";



// A Windows root with registrations, a preload list and library files.
struct TestSystem {
  explicit TestSystem(RootWindows windows)
      : nt(windows != RootWindows::Windows98 && windows != RootWindows::Windows95),
        ports(testing::MakeOpenedRoot(dir.path.string(), windows, codePages, dialogs)) {}

  void Register(const std::string& klid, const std::string& file, const std::string& layoutId = "") {
    TRegistryEnhanced machine(*ports.registry, RootKey::hkLocalMachine);
    machine.SetKey(kLayouts + klid);
    machine.WriteValue("Layout File", file);
    machine.WriteValue("Layout Text", "Text of " + klid);
    if (!layoutId.empty()) machine.WriteValue("Layout Id", layoutId);
  }
  void Preload(const std::string& name, const std::string& klid) {
    TRegistryEnhanced user(*ports.registry, RootKey::hkCurrentUser);
    if (nt) {
      user.SetKey(kPreloadKey);
      user.WriteValue(name, klid);
    } else {
      user.SetKey(std::string(kPreloadKey) + "\\" + name);
      user.WriteValue("", klid);
    }
  }
  // A file in a folder of the Windows folder ("system32", "syswow64", "system").
  void Put(const std::string& folder, const std::string& name, const std::string& content) {
    std::ofstream(dir.path / "drive_c" / "windows" / folder / name, std::ios::binary) << content;
  }
  std::string Get(const std::string& folder, const std::string& name) const {
    return ReadHost(dir.path / "drive_c" / "windows" / folder / name);
  }
  std::set<std::string> Files(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path / "drive_c" / "windows" / folder))
      names.insert(e.path().filename().string());
    return names;
  }

  std::string Machine(const std::string& klid, const std::string& value) {
    TRegistryEnhanced machine(*ports.registry, RootKey::hkLocalMachine);
    machine.SetKey(kLayouts + klid);
    return machine.ReadText(value);
  }
  std::vector<std::string> MachineKeys() {
    TRegistryEnhanced machine(*ports.registry, RootKey::hkLocalMachine);
    machine.SetKey(kLayoutsKey);
    return machine.GetKeyNames();
  }
  // name -> identifier, in the family's own form.
  std::map<std::string, std::string> PreloadList() { return testing::UserList(*ports.registry, kPreloadKey, nt); }

  TLocales& Catalogue() {
    TRegistryEnhanced user(*ports.registry, RootKey::hkCurrentUser);
    TRegistryEnhanced machine(*ports.registry, RootKey::hkLocalMachine);
    TRegistryEnhanced third(*ports.registry, nt ? RootKey::hkClassesRoot : RootKey::hkLocalMachine);
    catalogue = std::make_unique<TLocales>();
    if (nt) catalogue->CreateNt(user, machine, third, dialogs);
    else catalogue->Create9x(user, machine, third, dialogs);
    return *catalogue;
  }

  NewLayoutResult Create(int position, int32_t language, const std::string& name = "Mine") {
    TLocales& locales = Catalogue();
    return CreateWithParams(position, language, name, locales, nt,
                            NewLayoutPorts{*ports.registry, *ports.systemFiles, dialogs});
  }
  OfflineSystemFiles& OfflineFiles() { return dynamic_cast<OfflineSystemFiles&>(*ports.systemFiles); }

  // Everything a creation could change: both registry files and the system folders.
  std::string Snapshot() const {
    std::string out = ReadHost(dir.path / "system.reg") + ReadHost(dir.path / "user.reg");
    for (const char* folder : {"system32", "syswow64", "system"}) {
      std::error_code ec;
      if (!fs::is_directory(dir.path / "drive_c" / "windows" / folder, ec)) continue;
      for (const std::string& name : Files(folder)) out += std::string("|") + folder + "/" + name;
    }
    return out;
  }

  const bool nt;
  TempDir dir{"tastora-new"};
  IconvCodePages codePages;
  RecordingDialogs dialogs;
  SystemPorts ports;
  std::unique_ptr<TLocales> catalogue;
};

// --- numbers and the language list ---------------------------------------------------

TEST(NewKbd, HexToIntReadsHexadecimalTextAndRefusesWhatLeavesTheRange) {
  struct Case {
    std::string text;
    std::optional<int32_t> number;
  };
  const Case cases[] = {
      {"0409", 0x0409},
      {"0c0a", 0x0C0A},
      {"2083B", 0x2083B},
      {"", 0},
      {"7FFFFFFF", 0x7FFFFFFF},
      {"80000000", std::nullopt},
      {"123456789", std::nullopt},
      {"G", 16},     // no validation: "G" counts 71 - 55
      {"-1", -47},   // "-" counts 45 - 48
      {"z", 35},     // upper-cased first
      {"\xFF", 200},  // an 8-bit character counts by its code
  };
  for (const Case& c : cases) EXPECT_EQ(HexToInt(c.text), c.number) << c.text;
}

TEST(NewKbd, LanguageListHoldsEveryRowSortedByName) {
  const std::vector<LanguageItem> items = LanguageListItems();
  ASSERT_EQ(items.size(), kLanguageTableRows);
  for (size_t i = 1; i < items.size(); ++i) {
    std::string a = items[i - 1].text, b = items[i].text;
    for (char& c : a) c = char(std::toupper(uint8_t(c)));
    for (char& c : b) c = char(std::toupper(uint8_t(c)));
    EXPECT_LE(a, b) << i;
  }
  EXPECT_EQ(items.front().text, "Afrikaans");
  EXPECT_EQ(items.front().number, 0x0436);

  // The three rows named "Spanish" keep their table order.
  std::vector<int32_t> spanish;
  for (const LanguageItem& item : items)
    if (item.text == "Spanish") spanish.push_back(item.number);
  EXPECT_EQ(spanish, (std::vector<int32_t>{0x040A, 0x0C0A, 0x1C0A}));

  struct Case {
    std::string preset;
    std::string text;  // empty: nothing selected
  };
  const Case cases[] = {
      {"0409", "English (United States)"},
      {"0449", "Tamil"},  // before Telugu, which has the same number
      {"040c", "French (Standard)"},
      {"2083B", "Sami Extended Finland-Sweden"},
      {"0", ""},
      {"FFFFFFFFF", ""},
  };
  for (const Case& c : cases) {
    const auto found = FindLanguageItem(items, c.preset);
    EXPECT_EQ(found ? items[*found].text : "", c.text) << c.preset;
  }
}

TEST(NewKbd, IsPlainFileNameRefusesWhatIsNotAWindowsFileNameInTheFolder) {
  const std::pair<std::string, bool> cases[] = {
      {"kbdus.dll", true},       {"l_KBD0.dll", true},   {"KBDUS.KBD", true},    {"", false},
      {"..\\evil.dll", false},   {"a\\b.dll", false},    {"a/b.dll", false},     {"C:evil.dll", false},
      {"C:\\x\\kbdus.dll", false}, {"..", false},        {"kbd..dll", false},
      // Names Windows would not take as they are.
      {".", false},              {"   ", false},         {"kbd.dll.", false},    {"kbd.dll ", false},
      {"a\nb.dll", false},       {std::string("a\0b", 3), false}, {"a\tb.dll", false},
      {"k?d.dll", false},        {"k*d.dll", false},     {"k|d.dll", false},     {"k<d.dll", false},
      {"k\"d.dll", false},
      {"CON", false},            {"nul.dll", false},     {"Com1.dll", false},    {"LPT9", false},
      {"aux .dll", false},       {"CONIN$", false},
      // Near them, and fine.
      {"CONSOLE.dll", true},     {"nul_.dll", true},     {"COM10.dll", true},    {" kbd.dll", true},
      {"kbd\xE4.dll", true},
  };
  for (const auto& [name, plain] : cases) {
    EXPECT_EQ(IsPlainFileName(name), plain) << ShownFileName(name);
    EXPECT_EQ(FileNameProblem(name).empty(), plain) << ShownFileName(name);
  }
}

// --- creating on Windows roots ---------------------------------------------------------

struct CreateCase {
  const char* what;
  RootWindows windows;
  // klid, file, Layout Id ("" for none), registered in this key order
  std::vector<std::tuple<std::string, std::string, std::string>> registrations;
  std::vector<std::pair<std::string, std::string>> preload;  // name, identifier
  std::vector<std::string> extraFiles;                       // already in the system folder(s)
  int32_t language;
  std::string klid;
  std::string layoutId;  // "" when none is written
  std::string file;
  std::string preloadName;
};

TEST(NewKbd, CreateWithParamsAllocatesIdentifierLayoutIdFileAndPreloadEntry) {
  const CreateCase cases[] = {
      {"a fourth variant gets the next identifier and Layout Id",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", ""}, {"00010409", "KBDDV.DLL", "0002"}, {"00020409", "KBDUSX.DLL", "0001"}},
       {{"1", "00000409"}},
       {},
       0x0409, "00030409", "0003", "KBD0.dll", "2"},
      {"a language without registrations gets variant 0 and no Layout Id",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", "0004"}},
       {{"1", "00000409"}},
       {},
       0x0407, "00000407", "", "KBD0.dll", "2"},
      {"the largest Layout ID, whatever the key order",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", "0001"}, {"00010409", "a.dll", "00C0"}, {"00020409", "b.dll", "0010"}},
       {{"1", "00000409"}},
       {},
       0x0409, "00030409", "00C1", "KBD0.dll", "2"},
      {"the width is the last value's length: longer",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", "00C0"}, {"00010409", "a.dll", "000001"}},
       {{"1", "00000409"}},
       {},
       0x0409, "00020409", "0000C1", "KBD0.dll", "2"},
      {"the width is the last value's length: shorter, but never below four",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", "0000C0"}, {"00010409", "a.dll", "01"}},
       {{"1", "00000409"}},
       {},
       0x0409, "00020409", "00C1", "KBD0.dll", "2"},
      {"a value that is not hexadecimal sets the width but not the maximum",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", "0007"}, {"00010409", "a.dll", "xyzzyx"}},
       {{"1", "00000409"}},
       {},
       0x0409, "00020409", "000008", "KBD0.dll", "2"},
      {"no Layout ID anywhere gives 0000",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", ""}},
       {{"1", "00000409"}},
       {},
       0x0409, "00010409", "0000", "KBD0.dll", "2"},
      {"lower-case identifiers count",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", ""}, {"000a040c", "f.dll", ""}},
       {{"1", "00000409"}},
       {},
       0x040C, "000B040C", "0000", "KBD0.dll", "2"},
      {"file names already taken are skipped",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", ""}},
       {{"1", "00000409"}},
       {"KBD0.dll", "kbd1.DLL"},
       0x0407, "00000407", "", "KBD2.dll", "2"},
      {"the preload entry follows the last number",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", ""}},
       {{"1", "00000409"}, {"2", "00000409"}, {"3", "00000409"}},
       {},
       0x0407, "00000407", "", "KBD0.dll", "4"},
      {"a gap in the preload numbers is filled, nothing is overwritten",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", ""}, {"00000407", "KBDGR.DLL", ""}},
       {{"1", "00000409"}, {"3", "00000407"}},
       {},
       0x0419, "00000419", "", "KBD0.dll", "2"},
      // "1" is the user's default layout: a new layout never takes it.
      {"a free 1 stays free",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", ""}},
       {{"2", "00000409"}, {"4", "00000409"}},
       {},
       0x0407, "00000407", "", "KBD0.dll", "3"},
      {"the 8-bit family never takes 1 either",
       RootWindows::Windows98,
       {{"00000409", "KBDUS.KBD", ""}},
       {{"3", "00000409"}},
       {},
       0x0407, "00000407", "", "KBD0.kbd", "2"},
      {"a five-digit language number counts with its low 16 bits",
       RootWindows::Windows10,
       {{"00000409", "kbdus.dll", ""}, {"0000041F", "KBDTUQ.DLL", "0003"}},
       {{"1", "00000409"}},
       {},
       0x1041F, "0001041F", "0004", "KBD0.dll", "2"},
      {"the 8-bit family: .kbd files and preload subkeys",
       RootWindows::Windows98,
       {{"00000409", "KBDUS.KBD", ""}},
       {{"1", "00000409"}, {"2", "00000409"}},
       {"KBD0.kbd"},
       0x0407, "00000407", "", "KBD1.kbd", "3"},
  };
  for (const CreateCase& c : cases) {
    TestSystem system(c.windows);
    for (const auto& [klid, file, layoutId] : c.registrations) system.Register(klid, file, layoutId);
    for (const auto& [name, klid] : c.preload) system.Preload(name, klid);
    const std::string folder32 = system.nt ? "syswow64" : "system";
    system.Put(folder32, std::get<1>(c.registrations.front()), "template");
    if (system.nt) system.Put("system32", std::get<1>(c.registrations.front()), "template64");
    for (const std::string& name : c.extraFiles) {
      system.Put(folder32, name, "taken");
      if (system.nt) system.Put("system32", name, "taken");
    }
    const auto preloadBefore = system.PreloadList();

    const NewLayoutResult result = system.Create(0, c.language);
    ASSERT_TRUE(result.created) << c.what << ": " << result.error;
    EXPECT_EQ(result.klid, c.klid) << c.what;
    EXPECT_EQ(result.fileName, c.file) << c.what;
    EXPECT_EQ(system.Machine(c.klid, "Layout File"), c.file) << c.what;
    EXPECT_EQ(system.Machine(c.klid, "Layout Text"), "Mine") << c.what;
    EXPECT_EQ(system.Machine(c.klid, "Layout Id"), c.layoutId) << c.what;
    EXPECT_EQ(system.Get(folder32, c.file), "template") << c.what;

    auto preloadAfter = system.PreloadList();
    EXPECT_EQ(preloadAfter[c.preloadName], c.klid) << c.what;
    preloadAfter.erase(c.preloadName);
    EXPECT_EQ(preloadAfter, preloadBefore) << c.what;
    // A 32-bit Windows has no native folder, so nothing to say it cannot reach.
    EXPECT_EQ(system.dialogs.messages, std::vector<std::string>{}) << c.what;

    // The rebuilt catalogue lists the new layout.
    const TLocales& rebuilt = system.Catalogue();
    bool listed = false;
    for (int i = 0; i < rebuilt.Count(); ++i) {
      const LayoutEntry entry = rebuilt.Get(i);
      listed = listed || (entry.Id == c.klid && entry.LayoutFile == c.file && entry.LayoutText == "Mine");
    }
    EXPECT_TRUE(listed) << c.what;
  }
}

TEST(NewKbd, CreateWithParamsCopiesIntoBothSystemFoldersOfA64BitWindows) {
  TestSystem system(RootWindows::Windows10);
  system.Register("00000407", "KBDGR.DLL");
  system.Preload("1", "00000407");
  system.Put("syswow64", "KBDGR.DLL", "32-bit German");
  system.Put("system32", "KBDGR.DLL", "64-bit German");
  // Taken in the native folder only: both copies need the same name.
  system.Put("system32", "KBD0.dll", "someone else's");

  const NewLayoutResult result = system.Create(0, 0x0407);
  ASSERT_TRUE(result.created) << result.error;
  EXPECT_EQ(result.fileName, "KBD1.dll");
  EXPECT_EQ(system.Get("syswow64", "KBD1.dll"), "32-bit German");
  EXPECT_EQ(system.Get("system32", "KBD1.dll"), "64-bit German");
  EXPECT_EQ(system.Get("system32", "KBD0.dll"), "someone else's");
  EXPECT_FALSE(fs::exists(system.dir.path / "drive_c/windows/syswow64/KBD0.dll"));
  EXPECT_TRUE(system.dialogs.messages.empty());
  EXPECT_TRUE(system.OfflineFiles().Redirected());
}

TEST(NewKbd, CreateWithParamsCannotRedirectOnlyWhereANativeFolderIsOutOfReach) {
  struct Case {
    RootWindows windows;
    bool switchFails;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {RootWindows::WindowsXp, false, {}},
      {RootWindows::Windows10, false, {}},
      {RootWindows::Windows10, true, {"Cannot redirect to 64-bit system32 folder!"}},
  };
  for (const Case& c : cases) {
    TestSystem system(c.windows);
    const std::string folder32 = c.windows == RootWindows::Windows10 ? "syswow64" : "system32";
    system.Register("00000409", "kbdus.dll");
    system.Preload("1", "00000409");
    system.Put(folder32, "kbdus.dll", "US");
    if (c.windows == RootWindows::Windows10) system.Put("system32", "kbdus.dll", "US64");
    if (c.switchFails) system.OfflineFiles().SetVeto([](FileOperation op, const std::string&) {
      return op == FileOperation::Redirect;
    });

    const NewLayoutResult result = system.Create(0, 0x0409);
    ASSERT_TRUE(result.created) << result.error;
    EXPECT_EQ(result.klid, "00010409");
    EXPECT_EQ(system.Get(folder32, "KBD0.dll"), "US");
    EXPECT_EQ(system.dialogs.messages, c.messages);
    EXPECT_EQ(system.Machine("00010409", "Layout File"), "KBD0.dll");
  }
}

TEST(NewKbd, CreateWithParamsAFolderNamedLikeTheNextLibraryIsSkipped) {
  for (const char* folder : {"syswow64", "system32"}) {
    TestSystem system(RootWindows::Windows10);
    system.Register("00000409", "kbdus.dll");
    system.Preload("1", "00000409");
    system.Put("syswow64", "kbdus.dll", "US");
    system.Put("system32", "kbdus.dll", "US64");
    fs::create_directory(system.dir.path / "drive_c" / "windows" / folder / "KBD0.dll");

    const NewLayoutResult result = system.Create(0, 0x0409);
    ASSERT_TRUE(result.created) << folder << ": " << result.error;
    EXPECT_EQ(result.fileName, "KBD1.dll") << folder;
    EXPECT_TRUE(fs::is_directory(system.dir.path / "drive_c" / "windows" / folder / "KBD0.dll")) << folder;
  }
}

TEST(NewKbd, CreateWithParamsRefusesWithoutWritingAnything) {
  struct Case {
    const char* what;
    RootWindows windows = RootWindows::Windows10;
    int position = 0;
    std::string templateFile = "kbdus.dll";
    bool putTemplate32 = true;
    bool putTemplate64 = true;
    std::string extraKlid;  // registered besides the template
    std::string message;    // a part of the message shown
  };
  const Case cases[] = {
      {"a position before the list", RootWindows::Windows10, -1, "kbdus.dll", true, true, "", "position -1"},
      {"a position past the list", RootWindows::Windows10, 1, "kbdus.dll", true, true, "", "position 1"},
      {"a template file in another folder", RootWindows::Windows10, 0, "..\\evil.dll", true, true, "",
       "\"..\\evil.dll\""},
      {"a template file with a drive", RootWindows::Windows10, 0, "C:\\x.dll", true, true, "", "not a file name"},
      {"a template file with a slash", RootWindows::Windows10, 0, "sub/x.dll", true, true, "", "not a file name"},
      {"no template file", RootWindows::Windows10, 0, "", true, true, "", "not a file name"},
      {"a template file that is missing", RootWindows::Windows10, 0, "kbdus.dll", false, true, "", "missing"},
      {"a template file missing in the native folder", RootWindows::Windows10, 0, "kbdus.dll", true, false, "",
       "64-bit system32"},
      {"no variant left for the language", RootWindows::Windows10, 0, "kbdus.dll", true, true, "FFFF0409",
       "no free layout identifier"},
      {"a 9x position past the list", RootWindows::Windows95, 5, "KBDUS.KBD", true, true, "", "position 5"},
  };
  for (const Case& c : cases) {
    TestSystem system(c.windows);
    system.Register("00000409", c.templateFile);
    if (!c.extraKlid.empty()) system.Register(c.extraKlid, "other.dll");
    system.Preload("1", "00000409");
    const std::string folder32 = system.nt ? "syswow64" : "system";
    if (IsPlainFileName(c.templateFile)) {
      if (c.putTemplate32) system.Put(folder32, c.templateFile, "t");
      if (c.putTemplate64 && system.nt) system.Put("system32", c.templateFile, "t");
    }
    const std::string before = system.Snapshot();

    const NewLayoutResult result = system.Create(c.position, 0x0409);
    EXPECT_FALSE(result.created) << c.what;
    ASSERT_EQ(system.dialogs.messages.size(), 1u) << c.what;
    EXPECT_EQ(system.dialogs.messages[0], result.error) << c.what;
    EXPECT_NE(result.error.find(c.message), std::string::npos) << c.what << ": " << result.error;
    EXPECT_EQ(system.Snapshot(), before) << c.what;
  }
}

TEST(NewKbd, CreateWithParamsAFailedCopyRegistersNothing) {
  for (const bool nativeCopy : {false, true}) {
    TestSystem system(RootWindows::Windows10);
    system.Register("00000409", "kbdus.dll");
    system.Preload("1", "00000409");
    system.Put("syswow64", "kbdus.dll", "32");
    system.Put("system32", "kbdus.dll", "64");
    const auto keysBefore = system.MachineKeys();
    const auto preloadBefore = system.PreloadList();
    OfflineSystemFiles& files = system.OfflineFiles();
    files.SetVeto([&](FileOperation op, const std::string&) {
      return op == FileOperation::Copy && (nativeCopy ? !files.Redirected() : files.Redirected());
    });

    const NewLayoutResult result = system.Create(0, 0x0409);
    EXPECT_FALSE(result.created);
    ASSERT_EQ(system.dialogs.messages.size(), 1u);
    EXPECT_NE(result.error.find("Could not copy"), std::string::npos) << result.error;
    EXPECT_EQ(system.MachineKeys(), keysBefore);
    EXPECT_EQ(system.PreloadList(), preloadBefore);
    EXPECT_TRUE(files.Redirected()) << "the switch is back on after a failure";
  }
}

}  // namespace
}  // namespace tastora
