// The settings file: defaults, round trips, integer forms, and the profile
// functions of a Windows root.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/Settings.h"
#include "platform/offline/OfflineProfile.h"
#include "platform/offline/OfflineRoot.h"
#include "tests/TestFiles.h"
#include "tests/TestRoots.h"

namespace tastora {
namespace {
namespace fs = std::filesystem;

// An empty root, and its settings file.
struct TempRoot {
  TempRoot() { testing::MakeRoot(dir.string(), RootWindows::Windows10); }
  fs::path Ini() const { return dir / "drive_c" / "windows" / "loader.ini"; }
  void Write(const std::string& text) const { testing::WriteHost(Ini(), text); }
  std::string Read() const { return testing::ReadHost(Ini()); }

  testing::TempDir temp{"tastora-ini"};
  fs::path dir = temp.path;
};

TEST(ProfileInteger, ReadsDecimalAndDollarHexadecimal) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  };
  const Case cases[] = {
      {"700", 700},       {"-16", -16},       {"+5", 5},           {"$2BC", 700},
      {"$ff", 255},       {"$FFFFFFFF", -1},  {"-$10", -16},       {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},             {"2147483648", std::nullopt},
      {"$123456789", std::nullopt},           {"", std::nullopt},  {"$", std::nullopt},
      {"12a", std::nullopt}, {"0x10", std::nullopt}, {"true", std::nullopt}, {"1 2", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseProfileInteger(c.text), c.value) << c.text;
}

TEST(Settings, WithoutAFileEverythingIsTheDefault) {
  TempRoot root;
  OfflineProfile profile{OfflineRoot(root.dir)};
  Settings settings;
  settings.toolWindows.CharMapX = 123;  // the window's current value stays
  settings.programFolder = "stale";
  ProcessState state;
  state.patch.ThinkPad = true;
  state.euro.EuroConvertChar = 5;
  LoadSettings(profile, settings, state);
  LoadConversionSettings(profile, state);

  EXPECT_EQ(settings.font.face, "Times New Roman");
  EXPECT_EQ(settings.font.height, -16);
  EXPECT_EQ(settings.font.script, 1);
  EXPECT_TRUE(settings.font.bold);
  EXPECT_FALSE(settings.font.italic);
  EXPECT_EQ(settings.programFolder, "");
  EXPECT_TRUE(settings.vistaWarning);
  EXPECT_FALSE(settings.showMessages);
  EXPECT_EQ(settings.keyboardType, (std::array<bool, 4>{true, false, false, false}));
  EXPECT_EQ(settings.toolWindows.CharMapX, 123);
  EXPECT_FALSE(state.patch.ThinkPad);
  EXPECT_FALSE(state.patch.ShiftCtrlPatch);
  EXPECT_FALSE(state.euro.EuroConvert);
  EXPECT_EQ(state.euro.EuroConvertUniChar, 8364);
  EXPECT_EQ(state.euro.EuroConvertChar, 128);
  EXPECT_FALSE(fs::exists(root.Ini()));  // reading makes no file
}

TEST(Settings, ReadsEveryKeyOfTheFile) {
  TempRoot root;
  root.Write(
      "[FontSection]\r\nFace=Arial\r\nHeight=$C\r\nScript=238\r\nWeight=600\r\nItalic=7\r\n"
      "[VYR32]\r\nPath=C:\\Program Files\\Tastora\\tastora.exe\r\n"
      "[Patch]\r\nThinkPad=1\r\nShiftCtrlPatch=1\r\n"
      "[Settings]\r\nVistaWarning=0\r\n"
      "[WindowSection]\r\nShowMessages=1\r\nv1=0\r\nv3=1\r\nCharMapX=-5\r\nLigY=$100\r\nKeyMapX=junk\r\n"
      "[Conversion]\r\nEuroConvert=1\r\nEuroConvertUniChar=$20AC\r\nEuroConvertChar=136\r\n");
  OfflineProfile profile{OfflineRoot(root.dir)};
  Settings settings;
  ProcessState state;
  LoadSettings(profile, settings, state);
  LoadConversionSettings(profile, state);
  EXPECT_EQ(settings.font.face, "Arial");
  EXPECT_EQ(settings.font.height, 12);
  EXPECT_EQ(settings.font.script, 238);
  EXPECT_FALSE(settings.font.bold);  // 600 is regular
  EXPECT_TRUE(settings.font.italic);
  EXPECT_EQ(settings.programFolder, "C:\\Program Files\\Tastora\\");
  EXPECT_TRUE(state.patch.ThinkPad);
  EXPECT_TRUE(state.patch.ShiftCtrlPatch);
  EXPECT_FALSE(settings.vistaWarning);
  EXPECT_TRUE(settings.showMessages);
  EXPECT_EQ(settings.keyboardType, (std::array<bool, 4>{false, false, true, false}));
  EXPECT_EQ(settings.toolWindows.CharMapX, -5);
  EXPECT_EQ(settings.toolWindows.LigY, 256);
  EXPECT_EQ(settings.toolWindows.KeyMapX, ToolWindowPlacement{}.KeyMapX);  // not a number: the window's value
  EXPECT_TRUE(state.euro.EuroConvert);
  EXPECT_EQ(state.euro.EuroConvertUniChar, 0x20AC);
  EXPECT_EQ(state.euro.EuroConvertChar, 136);
}

TEST(Settings, WeightReadsBoldFrom700AndWritesOnly700Or400) {
  struct Case {
    const char* weight;
    bool bold;
    const char* written;
  };
  const Case cases[] = {{"400", false, "400"}, {"600", false, "400"}, {"700", true, "700"},
                        {"900", true, "700"},  {"$2BC", true, "700"}, {"heavy", true, "700"}};
  for (const Case& c : cases) {
    TempRoot root;
    root.Write(std::string("[FontSection]\r\nWeight=") + c.weight + "\r\n");
    OfflineProfile profile{OfflineRoot(root.dir)};
    Settings settings;
    ProcessState state;
    LoadSettings(profile, settings, state);
    EXPECT_EQ(settings.font.bold, c.bold) << c.weight;
    ASSERT_TRUE(SaveSettings(profile, settings));
    EXPECT_EQ(profile.ReadString("loader.ini", "FontSection", "Weight", ""), c.written) << c.weight;
  }
}

TEST(Settings, WhatIsSavedLoadsBack) {
  TempRoot root;
  OfflineProfile profile{OfflineRoot(root.dir)};
  Settings saved;
  saved.font = LayoutFont{"Courier New", -20, 204, false, true};
  saved.showMessages = true;
  saved.keyboardType = {false, true, false, false};
  saved.toolWindows.DiacriticH = 77;
  saved.toolWindows.LigX = -3;
  ASSERT_TRUE(SaveSettings(profile, saved));

  Settings loaded;
  ProcessState state;
  LoadSettings(profile, loaded, state);
  EXPECT_EQ(loaded.font.face, "Courier New");
  EXPECT_EQ(loaded.font.height, -20);
  EXPECT_EQ(loaded.font.script, 204);
  EXPECT_FALSE(loaded.font.bold);
  EXPECT_TRUE(loaded.font.italic);
  EXPECT_TRUE(loaded.showMessages);
  EXPECT_EQ(loaded.keyboardType, saved.keyboardType);
  EXPECT_EQ(loaded.toolWindows.DiacriticH, 77);
  EXPECT_EQ(loaded.toolWindows.LigX, -3);
  // Close does not save these.
  EXPECT_EQ(profile.ReadString("loader.ini", "Settings", "VistaWarning", "none"), "none");
  EXPECT_EQ(profile.ReadString("loader.ini", "VYR32", "Path", "none"), "none");
}

TEST(Settings, SingleWritesChangeOneLineOnly) {
  TempRoot root;
  const std::string before =
      "; kept as it is\r\n[FontSection]\r\nFace=Arial\r\n\r\n[windowsection]\r\n  showmessages = 1 \r\nv1=1\r\n";
  root.Write(before);
  OfflineProfile profile{OfflineRoot(root.dir)};
  ASSERT_TRUE(SaveShowMessages(profile, false));
  ASSERT_TRUE(SaveVistaWarning(profile, false));
  EXPECT_EQ(root.Read(),
            "; kept as it is\r\n[FontSection]\r\nFace=Arial\r\n\r\n[windowsection]\r\n  showmessages=0\r\nv1=1\r\n"
            "\r\n[Settings]\r\nVistaWarning=0\r\n");
}

TEST(OfflineProfile, FollowsTheProfileFunctions) {
  TempRoot root;
  root.Write("[Existing]\nCount = \"2\"\n1key='00000409'\n\n[Other]\nCount=9\n");
  OfflineProfile profile{OfflineRoot(root.dir)};
  struct Case {
    std::string file;
    std::string section;
    std::string key;
    std::string value;
  };
  const Case reads[] = {
      {"loader.ini", "Existing", "Count", "2"},       // blanks and quotes removed
      {"LOADER.INI", "existing", "1KEY", "00000409"},  // names regardless of case
      {"loader.ini", "Other", "Count", "9"},
      {"loader.ini", "Missing", "Count", "default"},
      {"missing.ini", "Existing", "Count", "default"},
      {"C:\\Windows\\Loader.ini", "Other", "count", "9"},
  };
  for (const Case& c : reads) EXPECT_EQ(profile.ReadString(c.file, c.section, c.key, "default"), c.value) << c.file;

  ASSERT_TRUE(profile.WriteString("loader.ini", "existing", "2key", "00000407"));
  ASSERT_TRUE(profile.WriteString("wininit.ini", "rename", "C:\\windows\\system\\KBDUS.KBD", "C:\\x.tmp"));
  EXPECT_EQ(root.Read(), "[Existing]\nCount = \"2\"\n1key='00000409'\n2key=00000407\n\n[Other]\nCount=9\n");
  EXPECT_EQ(profile.ReadString("wininit.ini", "Rename", "c:\\windows\\system\\kbdus.kbd", ""), "C:\\x.tmp");
  EXPECT_TRUE(fs::exists(root.dir / "drive_c" / "windows" / "wininit.ini"));
}

}  // namespace
}  // namespace tastora
