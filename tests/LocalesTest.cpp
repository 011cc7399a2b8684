// The catalogue built from Windows roots made here, in the NT and the 9x
// form, and the language table behind its names.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>

#include "TestPorts.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/OfflineRegistry.h"
#include "platform/offline/OfflineRoot.h"
#include "system/LanguageTable.h"
#include "system/Locales.h"
#include "system/RegistryEnhanced.h"
#include "tests/TestFiles.h"

namespace tastora {
namespace {

using testing::TempDir;
using testing::ReadHost;
namespace fs = std::filesystem;
using testing::RecordingDialogs;

// --- the language table -------------------------------------------------------------

TEST(LanguageTable, LooksUpTheFirstMatchingRow) {
  struct Case {
    std::string id;
    std::string name;
    std::string tag;
  };
  const Case cases[] = {
      {"0436", "Afrikaans", "Af"},
      {"041c", "Albanian", "Sq"},
      {"0409", "English (United States)", "En"},
      {"0449", "Tamil", "Ta"},  // the later row with the same key is never found
      {"0c0a", "Spanish", "Es"},
      {"2083B", "Sami Extended Finland-Sweden", "Fi"},
      {"0000", "", ""},
      {"", "", ""},
      {"04", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TLocales::LanguageNameOf(c.id), c.name) << c.id;
    EXPECT_EQ(TLocales::LanguageTagOf(c.id), c.tag) << c.id;
  }
  EXPECT_EQ(LanguageTable.size(), 160u);
  EXPECT_EQ(LanguageTable[130].key, LanguageTable[128].key);
  EXPECT_EQ(LanguageTable[130].value, "te;Telugu");
  EXPECT_EQ(LanguageTable[159].value, "fi;Sami Extended Finland-Sweden");
  size_t fiveDigitKeys = 0;
  for (const LanguageRow& row : LanguageTable) {
    EXPECT_NE(row.value.find(';'), std::string_view::npos) << row.key;
    fiveDigitKeys += row.key.size() == 5;
  }
  EXPECT_EQ(fiveDigitKeys, 8u);
}

// --- the catalogue on Windows roots ---------------------------------------------------------


// Registry content in Wine's text form, appended to the files of a new root.
struct Hive {
  std::map<std::string, std::vector<std::string>> keys;  // path with single backslashes -> value lines

  static std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out + "\"";
  }
  void Text(const std::string& key, const std::string& name, const std::string& value) {
    keys[key].push_back((name.empty() ? "@" : Quoted(name)) + "=" + Quoted(value));
  }
  void Line(const std::string& key, const std::string& line) { keys[key].push_back(line); }
  std::string Render() const {
    std::string out;
    for (const auto& [path, lines] : keys) {
      std::string escaped;
      for (char c : path) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
      out += "\n[" + escaped + "] 1700000000\n";
      for (const std::string& line : lines) out += line + "\n";
    }
    return out;
  }
};

const std::string kLayouts = "System\\CurrentControlSet\\Control\\Keyboard Layouts\\";

struct CatalogueRoot {
  explicit CatalogueRoot(RootWindows windows) {
    std::string error;
    EXPECT_TRUE(OfflineRoot::Create(dir.path, windows, error)) << error;
  }
  // Builds the catalogue in the form of the root's Windows family.
  std::unique_ptr<TLocales> Build(bool nt) {
    std::ofstream(dir.path / "system.reg", std::ios::app) << machine.Render();
    std::ofstream(dir.path / "user.reg", std::ios::app) << user.Render();
    OfflineRegistry registry(OfflineRoot(dir.path), codePages, dialogs);
    std::string error;
    EXPECT_TRUE(registry.Load(error)) << error;
    TRegistryEnhanced currLayoutReg(registry, RootKey::hkCurrentUser);
    TRegistryEnhanced allLayoutsReg(registry, RootKey::hkLocalMachine);
    TRegistryEnhanced third(registry, nt ? RootKey::hkClassesRoot : RootKey::hkLocalMachine);
    auto locales = std::make_unique<TLocales>();
    if (nt) locales->CreateNt(currLayoutReg, allLayoutsReg, third, dialogs);
    else locales->Create9x(currLayoutReg, allLayoutsReg, third, dialogs);
    return locales;
  }
  void Register(const std::string& klid, const std::string& text, const std::string& file) {
    if (!text.empty()) machine.Text(kLayouts + klid, "Layout Text", text);
    if (!file.empty()) machine.Text(kLayouts + klid, "Layout File", file);
  }

  TempDir dir{"tastora-cat"};
  Hive machine;
  Hive user;
  IconvCodePages codePages;
  RecordingDialogs dialogs;
};

std::string EntryText(const LayoutEntry& e) {
  std::string out;
  for (std::string_view field : {e.Id.View(), e.Substitute.View(), e.LanguageId.View(), e.LanguageName.View(),
                                 e.LanguageTag.View(), e.LayoutLanguageId.View(), e.LayoutText.View(),
                                 e.LayoutId.View(), e.LayoutFile.View(), e.LocaleName.View()})
    out += std::string(field) + "|";
  out.pop_back();
  return out;
}

std::vector<std::string> Entries(const TLocales& locales) {
  std::vector<std::string> out;
  for (int i = 0; i < locales.Count(); ++i) out.push_back(EntryText(locales.Get(i)));
  return out;
}

struct CatalogueCase {
  const char* what;
  std::vector<std::pair<std::string, std::string>> preload;      // name, identifier
  std::vector<std::pair<std::string, std::string>> substitutes;  // identifier, substitute
  std::vector<std::tuple<std::string, std::string, std::string>> registrations;  // klid, text, file
  std::vector<std::pair<std::string, std::string>> extraMachineLines;  // key, line
  std::vector<std::string> entries;
};

TEST(LocalesNt, BuildsEntriesFromPreloadSubstitutesAndRegistrations) {
  const CatalogueCase cases[] = {
      {"no preload list", {}, {}, {{"00000409", "US", "kbdus.dll"}}, {}, {}},
      {"a substitute names the registration and the language",
       {{"1", "d0010409"}},
       {{"d0010409", "00020407"}},
       {{"00020407", "German (IBM)", "KBDGR1.DLL"}, {"d0010409", "wrong", "wrong.dll"}},
       {{kLayouts + "00020407", "\"Layout Id\"=\"0023\""}},
       {"d0010409|00020407|0407|German (Standard)|DE|0407|German (IBM)|0023|KBDGR1.DLL|German (Standard)"}},
      {"a language missing from the table",
       {{"1", "0000ABCD"}},
       {},
       {{"0000ABCD", "Custom", "x.dll"}},
       {},
       {"0000ABCD||ABCD|||ABCD|Custom||x.dll|"}},
      {"0449 is Tamil", {{"1", "00000449"}}, {}, {}, {}, {"00000449||0449|Tamil|TA|0449||||Tamil"}},
      {"a lower-case identifier",
       {{"1", "0000040c"}},
       {},
       {{"0000040c", "French", "KBDFR.DLL"}},
       {},
       {"0000040c||040c|French (Standard)|FR|040c|French||KBDFR.DLL|French (Standard)"}},
      {"long values are cut",
       {{"1", "000004090"}},
       {},
       {{"00000409", std::string(60, 'T'), "a_name_longer_than_twenty.dll"}},
       {{kLayouts + "00000409", "\"Layout Id\"=\"0123456789AB\""}},
       {"00000409||0409|English (United States)|EN|0409|" + std::string(50, 'T') +
        "|0123456789|a_name_longer_than_t|English (United States)"}},
      {"an integer reads as decimal text, other types as nothing",
       {{"1", "00000419"}},
       {},
       {{"00000419", "", "KBDRU.DLL"}},
       {{kLayouts + "00000419", "\"Layout Id\"=dword:ffffffff"},
        {kLayouts + "00000419", "\"Layout Text\"=hex:52,75,00"}},
       {"00000419||0419|Russian|RU|0419||-1|KBDRU.DLL|Russian"}},
      {"duplicates are kept, short identifiers give what they have",
       {{"1", "00000409"}, {"2", "00000409"}, {"3", "12345"}},
       {},
       {},
       {},
       {"00000409||0409|English (United States)|EN|0409||||English (United States)",
        "00000409||0409|English (United States)|EN|0409||||English (United States)", "12345||5|||5||||"}},
  };
  for (const CatalogueCase& c : cases) {
    CatalogueRoot root(RootWindows::Windows10);
    for (const auto& [name, id] : c.preload) root.user.Text("Keyboard Layout\\Preload", name, id);
    for (const auto& [id, sub] : c.substitutes) root.user.Text("Keyboard Layout\\Substitutes", id, sub);
    for (const auto& [klid, text, file] : c.registrations) root.Register(klid, text, file);
    for (const auto& [key, line] : c.extraMachineLines) root.machine.Line(key, line);
    EXPECT_EQ(Entries(*root.Build(true)), c.entries) << c.what;
    EXPECT_TRUE(root.dialogs.messages.empty()) << c.what;
  }
}

TEST(LocalesNt, PreloadNamesAreInTextOrder) {
  CatalogueRoot root(RootWindows::Windows10);
  for (int n = 1; n <= 11; ++n) {
    char id[16];
    std::snprintf(id, sizeof id, "0000%04X", 0x0400 + n);
    root.user.Text("Keyboard Layout\\Preload", std::to_string(n), id);
  }
  auto locales = root.Build(true);
  std::vector<std::string> ids;
  for (int i = 0; i < locales->Count(); ++i) ids.push_back(locales->Get(i).Id.Str());
  EXPECT_EQ(ids, (std::vector<std::string>{"00000401", "0000040A", "0000040B", "00000402", "00000403", "00000404",
                                           "00000405", "00000406", "00000407", "00000408", "00000409"}));
}

TEST(Locales9x, BuildsEntriesFromPreloadSubkeys) {
  const CatalogueCase cases[] = {
      {"no preload list", {}, {}, {}, {}, {}},
      {"a repeated identifier leaves its later position unused",
       {{"1", "00000409"}, {"2", "00000409"}, {"3", "00000407"}},
       {},
       {{"00000409", "US", "KBDUS.KBD"}, {"00000407", "German", "KBDGR.KBD"}},
       {},
       {"00000409||0409|English (United States)|En|0409|US||KBDUS.KBD|English (United States)",
        "prazna?|||||||||",
        "00000407||0407|German (Standard)|De|0407|German||KBDGR.KBD|German (Standard)"}},
      {"a repeat at the last position leaves nothing",
       {{"1", "00000409"}, {"2", "00000409"}},
       {},
       {},
       {},
       {"00000409||0409|English (United States)|En|0409||||English (United States)"}},
      {"repeats are found regardless of case",
       {{"1", "0000040c"}, {"2", "0000040C"}, {"3", "00000419"}},
       {},
       {},
       {},
       {"0000040c||040c|French (Standard)|Fr|040c||||French (Standard)", "prazna?|||||||||",
        "00000419||0419|Russian|Ru|0419||||Russian"}},
      {"the language comes from the identifier, the registration from the substitute",
       {{"1", "00000409"}},
       {{"00000409", "00000407"}},
       {{"00000407", "German", "KBDGR.KBD"}},
       {},
       {"00000409|00000407|0409|English (United States)|En|0407|German||KBDGR.KBD|English (United States)"}},
      {"the machine's locale name is shown when it has one",
       {{"1", "00000407"}, {"2", "00000449"}},
       {},
       {},
       {{"System\\CurrentControlSet\\Control\\Nls\\Locale", "\"00000407\"=\"Deutsch (Deutschland)\""}},
       {"00000407||0407|German (Standard)|De|0407||||Deutsch (Deutschland)", "00000449||0449|Tamil|Ta|0449||||Tamil"}},
  };
  for (const CatalogueCase& c : cases) {
    CatalogueRoot root(RootWindows::Windows98);
    for (const auto& [name, id] : c.preload) root.user.Text("Keyboard Layout\\Preload\\" + name, "", id);
    for (const auto& [id, sub] : c.substitutes) root.user.Text("Keyboard Layout\\Substitutes\\" + id, "", sub);
    for (const auto& [klid, text, file] : c.registrations) root.Register(klid, text, file);
    for (const auto& [key, line] : c.extraMachineLines) root.machine.Line(key, line);
    EXPECT_EQ(Entries(*root.Build(false)), c.entries) << c.what;
  }
}

TEST(Locales9x, PreloadSubkeysAreInTextOrder) {
  CatalogueRoot root(RootWindows::Windows95);
  root.user.Text("Keyboard Layout\\Preload\\2", "", "00000407");
  root.user.Text("Keyboard Layout\\Preload\\10", "", "00000419");
  root.user.Text("Keyboard Layout\\Preload\\1", "", "00000409");
  auto locales = root.Build(false);
  ASSERT_EQ(locales->Count(), 3);
  EXPECT_EQ(locales->Get(0).Id.Str(), "00000409");
  EXPECT_EQ(locales->Get(1).Id.Str(), "00000419");
  EXPECT_EQ(locales->Get(2).Id.Str(), "00000407");
}

TEST(Locales, AListLongerThanTheCatalogueKeepsTheFirst321AndSaysSo) {
  for (const bool nt : {true, false}) {
    CatalogueRoot root(nt ? RootWindows::Windows10 : RootWindows::Windows98);
    for (int n = 0; n < 330; ++n) {
      char name[8];
      char id[16];
      std::snprintf(name, sizeof name, "%03d", n);
      std::snprintf(id, sizeof id, "%04X0409", n);
      if (nt) root.user.Text("Keyboard Layout\\Preload", name, id);
      else root.user.Text(std::string("Keyboard Layout\\Preload\\") + name, "", id);
    }
    auto locales = root.Build(nt);
    ASSERT_EQ(locales->Count(), kCatalogueCapacity);
    EXPECT_EQ(locales->Get(320).Id.Str(), "01400409");
    EXPECT_EQ(locales->Get(321).Id.Str(), "");
    ASSERT_EQ(root.dialogs.messages.size(), 1u);
    EXPECT_NE(root.dialogs.messages[0].find("330"), std::string::npos) << root.dialogs.messages[0];
    EXPECT_NE(root.dialogs.messages[0].find("9 were left out"), std::string::npos) << root.dialogs.messages[0];
  }
}

TEST(Locales, SetLayoutFileChangesEveryEntryOnThatRegistration) {
  CatalogueRoot root(RootWindows::Windows10);
  root.user.Text("Keyboard Layout\\Preload", "1", "00000409");
  root.user.Text("Keyboard Layout\\Preload", "2", "00000407");
  root.user.Text("Keyboard Layout\\Preload", "3", "00000409");
  root.Register("00000409", "US", "kbdus.dll");
  auto locales = root.Build(true);

  // The preload list names US twice: both entries are the one registration.
  LayoutEntry selected = locales->Get(2);
  locales->SetLayoutFile(selected, "l_kbdus.dll");
  EXPECT_EQ(locales->Get(0).LayoutFile.Str(), "l_kbdus.dll");
  EXPECT_EQ(locales->Get(2).LayoutFile.Str(), "l_kbdus.dll");
  EXPECT_EQ(locales->Get(1).LayoutFile.Str(), "");
  EXPECT_EQ(selected.LayoutFile.Str(), "kbdus.dll");  // the copy stays as it was

  locales->SetLayoutFile(locales->Get(1), "o_a_name_longer_than_twenty.dll");
  EXPECT_EQ(locales->Get(1).LayoutFile.Str(), "o_a_name_longer_than");

  LayoutEntry other;
  other.Id = "0000040c";
  locales->SetLayoutFile(other, "nothing.dll");
  other.Id = "0000040";  // an Id differing in length only
  locales->SetLayoutFile(other, "nothing.dll");
  for (int i = 0; i < locales->Count(); ++i) EXPECT_NE(locales->Get(i).LayoutFile.Str(), "nothing.dll");

  EXPECT_EQ(EntryText(locales->Get(-1)), "|||||||||");
  EXPECT_EQ(EntryText(locales->Get(3)), "|||||||||");
}

}  // namespace
}  // namespace tastora
