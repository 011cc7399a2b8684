#pragma once
// The settings file "loader.ini", read and written key by key through the
// platform's profile functions.

#include <array>
#include <cstdint>
#include <string>

#include "model/ProcessState.h"
#include "platform/Profile.h"

namespace tastora {

inline constexpr char kSettingsFile[] = "loader.ini";

// The layout font: the duplicate-key report shows key characters in it.
struct LayoutFont {
  std::string face = "Times New Roman";
  int32_t height = -16;  // negative: character height in pixels
  int32_t script = 1;    // character set
  bool bold = true;
  bool italic = false;
};

// Positions and sizes of the layout editor's tool windows. Those windows are
// not shown in this system; their values only pass through the file, and a
// missing key leaves the value held here.
struct ToolWindowPlacement {
  int32_t CharMapX = 8, CharMapY = 80, CharMapW = 420, CharMapH = 320;
  int32_t KeyMapX = 440, KeyMapY = 80;
  int32_t DiacriticX = 8, DiacriticY = 410, DiacriticW = 420, DiacriticH = 240;
  int32_t SpecKeysX = 440, SpecKeysY = 320;
  int32_t LigX = 440, LigY = 480;
};

struct Settings {
  LayoutFont font;
  std::string programFolder;  // with its trailing backslash; empty: the current folder
  bool vistaWarning = true;
  bool showMessages = false;  // "Show reboot dialog"
  std::array<bool, 4> keyboardType{true, false, false, false};
  ToolWindowPlacement toolWindows;
};

// Everything but the window controls themselves, in the order the main
// window reads it at its first showing; the "Patch" options go to `state`.
void LoadSettings(Profile& profile, Settings& settings, ProcessState& state);
// What the Close button saves.
bool SaveSettings(Profile& profile, const Settings& settings);
// The "Conversion" keys, read once at program start.
void LoadConversionSettings(Profile& profile, ProcessState& state);
// Single writes: the "Show reboot dialog" box when clicked, the Vista notice
// option when the main window or the notice closes.
bool SaveShowMessages(Profile& profile, bool showMessages);
bool SaveVistaWarning(Profile& profile, bool vistaWarning);

// The folder part of a path, its last backslash (or drive colon) included.
std::string FolderOf(const std::string& path);

}  // namespace tastora
