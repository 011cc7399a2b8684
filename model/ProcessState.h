#pragma once
// State the program keeps once per process. Passed by reference to whatever
// needs it; there are no mutable globals.

#include <cstdint>

#include "model/CompanionTables.h"
#include "model/KbdFileHeader.h"

namespace tastora {

inline constexpr uint32_t kPlatformWin32Windows = 1;  // the 8-bit family (95, 98, ME)
inline constexpr uint32_t kPlatformWin32Nt = 2;

struct WindowsVersion {
  uint32_t platformId = kPlatformWin32Nt;
  uint32_t major = 10;
  uint32_t minor = 0;
  uint32_t build = 19045;
};

// "Conversion" section of loader.ini, read once at start.
struct EuroConversion {
  bool EuroConvert = false;
  int EuroConvertUniChar = 8364;
  int EuroConvertChar = 128;
};

// "Patch" section of loader.ini, read by the library writers.
struct PatchSettings {
  bool ThinkPad = false;
  bool ShiftCtrlPatch = false;
};

struct ProcessState {
  KeyNameTable keyNames;
  KeyNameTable extendedKeyNames;
  // Names of the dead keys: `scan` holds the accent character. Empty unless
  // the last layout read carried them.
  KeyNameTable deadKeyNames;
  SpecialKeyTable specialKeys;

  WindowsVersion windowsVersion;
  EuroConversion euro;
  PatchSettings patch;

  // Platform of origin and font script of the last layout data file loaded.
  bool fileIsNT = false;
  int fontScript = 0;
  // Character set of the display fonts, chosen when a layout is narrowed.
  int displayScript = 0;
  // Set when running unattended from the command line: informational
  // messages of an import are not shown.
  bool unattended = false;
  KbdFileHeader kbdHeader;

  bool IsNtPlatform() const { return windowsVersion.platformId == kPlatformWin32Nt; }
};

}  // namespace tastora
