#include "app/Settings.h"

namespace tastora {
namespace {

constexpr char kFont[] = "FontSection";
constexpr char kProgram[] = "VYR32";
constexpr char kPatch[] = "Patch";
constexpr char kOptions[] = "Settings";
constexpr char kWindows[] = "WindowSection";
constexpr char kConversion[] = "Conversion";

constexpr int32_t kBold = 700;
constexpr int32_t kRegular = 400;

struct PlacementKey {
  const char* name;
  int32_t ToolWindowPlacement::*field;
};

// In file order; the ligature window's two come last when reading.
constexpr PlacementKey kPlacementKeys[] = {
    {"CharMapX", &ToolWindowPlacement::CharMapX},     {"CharMapY", &ToolWindowPlacement::CharMapY},
    {"CharMapW", &ToolWindowPlacement::CharMapW},     {"CharMapH", &ToolWindowPlacement::CharMapH},
    {"KeyMapX", &ToolWindowPlacement::KeyMapX},       {"KeyMapY", &ToolWindowPlacement::KeyMapY},
    {"DiacriticX", &ToolWindowPlacement::DiacriticX}, {"DiacriticY", &ToolWindowPlacement::DiacriticY},
    {"DiacriticW", &ToolWindowPlacement::DiacriticW}, {"DiacriticH", &ToolWindowPlacement::DiacriticH},
    {"SpecKeysX", &ToolWindowPlacement::SpecKeysX},   {"SpecKeysY", &ToolWindowPlacement::SpecKeysY},
    {"LigX", &ToolWindowPlacement::LigX},             {"LigY", &ToolWindowPlacement::LigY},
};
constexpr size_t kLigatureKeys = 2;

const char* const kKeyboardTypeKeys[] = {"v1", "v2", "v3", "v4"};

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

void LoadSettings(Profile& profile, Settings& settings, ProcessState& state) {
  const std::string file = kSettingsFile;
  const LayoutFont defaults;
  LayoutFont& font = settings.font;
  font.face = profile.ReadString(file, kFont, "Face", defaults.face);
  font.height = profile.ReadInteger(file, kFont, "Height", defaults.height);
  font.script = profile.ReadInteger(file, kFont, "Script", defaults.script);
  font.bold = profile.ReadInteger(file, kFont, "Weight", kBold) >= kBold;
  font.italic = profile.ReadBool(file, kFont, "Italic", false);

  settings.programFolder = FolderOf(profile.ReadString(file, kProgram, "Path", ""));
  state.patch.ThinkPad = profile.ReadBool(file, kPatch, "ThinkPad", false);
  settings.vistaWarning = profile.ReadBool(file, kOptions, "VistaWarning", true);

  ToolWindowPlacement& windows = settings.toolWindows;
  constexpr size_t kCount = std::size(kPlacementKeys);
  for (size_t i = 0; i < kCount - kLigatureKeys; ++i)
    windows.*kPlacementKeys[i].field = profile.ReadInteger(file, kWindows, kPlacementKeys[i].name,
                                                           windows.*kPlacementKeys[i].field);

  settings.showMessages = profile.ReadBool(file, kWindows, "ShowMessages", false);
  for (size_t i = 0; i < settings.keyboardType.size(); ++i)
    settings.keyboardType[i] = profile.ReadBool(file, kWindows, kKeyboardTypeKeys[i], i == 0);

  state.patch.ShiftCtrlPatch = profile.ReadBool(file, kPatch, "ShiftCtrlPatch", false);
  for (size_t i = kCount - kLigatureKeys; i < kCount; ++i)
    windows.*kPlacementKeys[i].field = profile.ReadInteger(file, kWindows, kPlacementKeys[i].name,
                                                           windows.*kPlacementKeys[i].field);
}

bool SaveSettings(Profile& profile, const Settings& settings) {
  const std::string file = kSettingsFile;
  const LayoutFont& font = settings.font;
  bool ok = profile.WriteString(file, kFont, "Face", font.face);
  ok = profile.WriteInteger(file, kFont, "Height", font.height) && ok;
  ok = profile.WriteInteger(file, kFont, "Script", font.script) && ok;
  ok = profile.WriteInteger(file, kFont, "Weight", font.bold ? kBold : kRegular) && ok;
  ok = profile.WriteBool(file, kFont, "Italic", font.italic) && ok;
  for (const PlacementKey& key : kPlacementKeys)
    ok = profile.WriteInteger(file, kWindows, key.name, settings.toolWindows.*key.field) && ok;
  ok = SaveShowMessages(profile, settings.showMessages) && ok;
  for (size_t i = 0; i < settings.keyboardType.size(); ++i)
    ok = profile.WriteBool(file, kWindows, kKeyboardTypeKeys[i], settings.keyboardType[i]) && ok;
  return ok;
}

void LoadConversionSettings(Profile& profile, ProcessState& state) {
  const EuroConversion defaults;
  state.euro.EuroConvert = profile.ReadBool(kSettingsFile, kConversion, "EuroConvert", defaults.EuroConvert);
  state.euro.EuroConvertUniChar =
      profile.ReadInteger(kSettingsFile, kConversion, "EuroConvertUniChar", defaults.EuroConvertUniChar);
  state.euro.EuroConvertChar =
      profile.ReadInteger(kSettingsFile, kConversion, "EuroConvertChar", defaults.EuroConvertChar);
}

bool SaveShowMessages(Profile& profile, bool showMessages) {
  return profile.WriteBool(kSettingsFile, kWindows, "ShowMessages", showMessages);
}

bool SaveVistaWarning(Profile& profile, bool vistaWarning) {
  return profile.WriteBool(kSettingsFile, kOptions, "VistaWarning", vistaWarning);
}

}  // namespace tastora
