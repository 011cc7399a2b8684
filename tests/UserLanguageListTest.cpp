// The user's language list of Windows 8 and later: what init makes, what
// new, create and install add (through Windows where it offers the call,
// else by writing the keys as Windows does), and what a removal takes out.

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "system/LanguageTags.h"
#include "tests/TestProgram.h"
#include "tests/TestRoots.h"

namespace tastora::testing {
namespace {

const std::string kFrench = std::string(TASTORA_SOURCE_DIR) + "/examples/french.vyr2000";


// Windows' side of the list: records each call; `writes` makes it change
// the keys as Windows does, else it claims success and changes nothing.
class RecordingInputLanguages final : public InputLanguageApi {
 public:
  RecordingInputLanguages(RegistryBackend& registry, bool writes) : registry_(registry), writes_(writes) {}
  std::optional<bool> InstallLayoutOrTip(std::string_view list, uint32_t flags) override {
    calls.emplace_back(std::string(list), flags);
    if (writes_ && flags == 0) {
      TRegistryEnhanced user(registry_, RootKey::hkCurrentUser);
      const auto language = uint16_t(std::stoul(std::string(list.substr(0, 4)), nullptr, 16));
      user.SetKey(std::string(kUserProfileKey) + "\\" + LanguageTagOf(language, nullptr));
      EXPECT_TRUE(user.WriteValue(std::string(list), int32_t(7)));
    }
    return true;
  }
  std::string LanguageTag(uint16_t) override { return {}; }
  std::vector<std::pair<std::string, uint32_t>> calls;

 private:
  RegistryBackend& registry_;
  bool writes_;
};

LanguageListState ListOf(Program& program) { return LanguageListOf(*program.system->registry); }

int Position(const Program& program, const std::string& id) { return PositionOf(*program.actions, id).value_or(-1); }

TEST(UserLanguageList, InitNewInstallAndRemoveKeepTheList) {
  const LanguageListState initial{{"en-US", "de-DE"},
                                  {{"de-DE/0407:00000407", "1"}, {"en-US/0409:00000409", "1"}, {"en-US/0409:00020409", "2"}}};
  struct Case {
    const char* what;
    RootWindows windows;
    std::function<void(Program&)> before;  // after start, before New makes 00010407 from German
    std::function<void(LanguageListState&)> expect;  // the list after New, from the initial one
  };
  const Case cases[] = {
      {"Windows 8.1", RootWindows::Windows81, {},
       [](LanguageListState& list) { list.entries["de-DE/0407:00010407"] = "2"; }},
      {"no list yet: made from Preload first", RootWindows::Windows11,
       [](Program& p) {
         TRegistryEnhanced user(*p.system->registry, RootKey::hkCurrentUser);
         user.SetKey(kUserProfileKey);
         EXPECT_TRUE(user.DeleteValue(kUserLanguagesValue));
         for (const char* tag : {"en-US", "de-DE"}) EXPECT_TRUE(user.DeleteKey(tag));
       },
       [](LanguageListState& list) { list.entries["de-DE/0407:00010407"] = "2"; }},
      {"Windows adds it", RootWindows::Windows10,
       [](Program& p) { p.system->inputLanguages = std::make_unique<RecordingInputLanguages>(*p.system->registry, true); },
       [](LanguageListState& list) { list.entries["de-DE/0407:00010407"] = "7"; }},
      {"Windows says yes but adds nothing", RootWindows::Windows10,
       [](Program& p) { p.system->inputLanguages = std::make_unique<RecordingInputLanguages>(*p.system->registry, false); },
       [](LanguageListState& list) { list.entries["de-DE/0407:00010407"] = "2"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const InitializedRoot root(c.windows);
    Program program(root);
    program.actions->CommandLineMode = true;
    EXPECT_EQ(ListOf(program), initial);
    if (c.before) c.before(program);

    ASSERT_TRUE(program.actions->New(2, 0x0407, "My German").created);
    LanguageListState expected = initial;
    c.expect(expected);
    EXPECT_EQ(ListOf(program), expected);

    // An install onto a layout in Preload that the list has lost puts it back.
    TRegistryEnhanced user(*program.system->registry, RootKey::hkCurrentUser);
    user.SetKey(std::string(kUserProfileKey) + "\\en-US");
    ASSERT_TRUE(user.DeleteValue("0409:00020409"));
    ASSERT_EQ(program.actions->Edit(Position(program, "d0010409"), kFrench), InstallResult::Installed);
    // Numbered as the new layout was: after the language's last entry (2), or by Windows (7).
    expected.entries["en-US/0409:00020409"] = expected.entries["de-DE/0407:00010407"];
    EXPECT_EQ(ListOf(program), expected);

    ASSERT_EQ(program.actions->Remove(Position(program, "00010407")), InstallResult::Installed);
    expected.entries.erase("de-DE/0407:00010407");
    EXPECT_EQ(ListOf(program), expected);

    if (auto* windows = dynamic_cast<RecordingInputLanguages*>(program.system->inputLanguages.get())) {
      const std::vector<std::pair<std::string, uint32_t>> calls = {
          {"0407:00010407", 0}, {"0409:00020409", 0}, {"0407:00010407", kIlotUninstall}};
      EXPECT_EQ(windows->calls, calls);
    }
    EXPECT_FALSE(program.dialogs.Shown("language list")) << program.dialogs.messages.back();
  }
}

TEST(UserLanguageList, LanguagesLeaveAndReturnWithTheirLayoutsAndAnUnknownOneIsSaid) {
  const InitializedRoot root(RootWindows::Windows11);
  Program program(root);
  program.actions->CommandLineMode = true;
  const LanguageListState initial = ListOf(program);

  ASSERT_TRUE(program.actions->New(2, 0x0452, "Welsh").created);  // cy-GB
  LanguageListState list = ListOf(program);
  EXPECT_EQ(list.languages.back(), "cy-GB");
  EXPECT_EQ(list.entries["cy-GB/0452:00000452"], "1");
  ASSERT_EQ(program.actions->Remove(Position(program, "00000452")), InstallResult::Installed);
  EXPECT_EQ(ListOf(program), initial);

  // A language that left "Languages" but kept its key comes back with it.
  {
    TRegistryEnhanced user(*program.system->registry, RootKey::hkCurrentUser);
    user.SetKey(kUserProfileKey);
    ASSERT_TRUE(user.WriteStrings(kUserLanguagesValue, {"en-US"}));
  }
  ASSERT_EQ(program.actions->Edit(Position(program, "00000407"), kFrench), InstallResult::Installed);
  EXPECT_EQ(ListOf(program), initial);

  // A language without a tag here: made, and the user told to list it.
  ASSERT_TRUE(program.actions->New(2, 0x0C7F, "Nowhere").created);
  EXPECT_TRUE(program.dialogs.Shown("could not be put in the user's language list"));
  EXPECT_EQ(ListOf(program), initial);
}

}  // namespace
}  // namespace tastora::testing
