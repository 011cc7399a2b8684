#pragma once
// The ".klc" layout source text, as the keyboard layout creator writes it:
// one definition of its sections, shift-state columns, VK names and limits,
// shared by the reader and the writer.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tastora::klc {

enum class Section : uint8_t {
  None, Kbd, Copyright, Company, LocaleName, LocaleId, Version, Attributes, ShiftState, Layout, Ligature,
  DeadKey, KeyName, KeyNameExt, KeyNameDead, Descriptions, LanguageNames, EndKbd,
};

struct SectionName {
  Section section;
  std::string_view keyword;
};
inline constexpr std::array<SectionName, 17> kSections{{
    {Section::Kbd, "KBD"},
    {Section::Copyright, "COPYRIGHT"},
    {Section::Company, "COMPANY"},
    {Section::LocaleName, "LOCALENAME"},
    {Section::LocaleId, "LOCALEID"},
    {Section::Version, "VERSION"},
    {Section::Attributes, "ATTRIBUTES"},
    {Section::ShiftState, "SHIFTSTATE"},
    {Section::Layout, "LAYOUT"},
    {Section::Ligature, "LIGATURE"},
    {Section::DeadKey, "DEADKEY"},
    {Section::KeyName, "KEYNAME"},
    {Section::KeyNameExt, "KEYNAME_EXT"},
    {Section::KeyNameDead, "KEYNAME_DEAD"},
    {Section::Descriptions, "DESCRIPTIONS"},
    {Section::LanguageNames, "LANGUAGENAMES"},
    {Section::EndKbd, "ENDKBD"},
}};

// The attributes the model has a flag for.
inline constexpr std::string_view kAttrAltGr = "ALTGR";
inline constexpr std::string_view kAttrShiftLock = "SHIFTLOCK";
inline constexpr std::string_view kAttrLrmRlm = "LRM_RLM";

// Cells of the LAYOUT and LIGATURE sections.
inline constexpr std::string_view kNoCharacter = "-1";
inline constexpr std::string_view kLigatureCell = "%%";
inline constexpr char16_t kDeadSuffix = u'@';
inline constexpr std::string_view kSgCap = "SGCap";
// Cap column values: Caps Lock acts as Shift on the plain and Shift columns
// (1), on the AltGr columns (4), or both.
inline constexpr int kCapLock = 1;
inline constexpr int kCapLockAltGr = 4;

// The shift states the creator has a column for, with the comment it
// writes beside each; a state is a modifier mask (Shift 1, Ctrl 2, Alt 4).
struct ShiftStateColumn {
  int state;
  std::string_view label;
};
inline constexpr std::array<ShiftStateColumn, 6> kColumns{{
    {0, ""},
    {1, " : Shft"},
    {2, " :       Ctrl"},
    {3, " : Shft  Ctrl"},
    {6, " :       Ctrl Alt"},
    {7, " : Shft  Ctrl Alt"},
}};
// The states a file may name that the model has a slot for.
inline constexpr int kMaxShiftState = 7;
// LAYOUT's first three columns (scan code, VK, Cap) come before the states.
inline constexpr int kFirstStateColumn = 4;

// The creator keeps at most this many characters in one ligature.
inline constexpr int kMaxLigatureLength = 4;

// VK names as the file writes them (without "VK_"); letters and digits are
// their own names.
struct VkName {
  uint8_t vk;
  std::string_view name;
};
inline constexpr std::array<VkName, 52> kVkNames{{
    {0x03, "CANCEL"},    {0x08, "BACK"},       {0x09, "TAB"},        {0x0C, "CLEAR"},      {0x0D, "RETURN"},
    {0x13, "PAUSE"},     {0x14, "CAPITAL"},    {0x1B, "ESCAPE"},     {0x20, "SPACE"},      {0x21, "PRIOR"},
    {0x22, "NEXT"},      {0x23, "END"},        {0x24, "HOME"},       {0x25, "LEFT"},       {0x26, "UP"},
    {0x27, "RIGHT"},     {0x28, "DOWN"},       {0x2C, "SNAPSHOT"},   {0x2D, "INSERT"},     {0x2E, "DELETE"},
    {0x60, "NUMPAD0"},   {0x61, "NUMPAD1"},    {0x62, "NUMPAD2"},    {0x63, "NUMPAD3"},    {0x64, "NUMPAD4"},
    {0x65, "NUMPAD5"},   {0x66, "NUMPAD6"},    {0x67, "NUMPAD7"},    {0x68, "NUMPAD8"},    {0x69, "NUMPAD9"},
    {0x6A, "MULTIPLY"},  {0x6B, "ADD"},        {0x6C, "SEPARATOR"},  {0x6D, "SUBTRACT"},   {0x6E, "DECIMAL"},
    {0x6F, "DIVIDE"},    {0xBA, "OEM_1"},      {0xBB, "OEM_PLUS"},   {0xBC, "OEM_COMMA"},  {0xBD, "OEM_MINUS"},
    {0xBE, "OEM_PERIOD"}, {0xBF, "OEM_2"},     {0xC0, "OEM_3"},      {0xC1, "ABNT_C1"},    {0xC2, "ABNT_C2"},
    {0xDB, "OEM_4"},     {0xDC, "OEM_5"},      {0xDD, "OEM_6"},      {0xDE, "OEM_7"},      {0xDF, "OEM_8"},
    {0xE2, "OEM_102"},   {0xE1, "OEM_AX"},
}};

inline std::optional<std::string_view> NameOfVk(uint8_t vk, std::array<char, 2>& own) {
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
    own[0] = static_cast<char>(vk);
    return std::string_view(own.data(), 1);
  }
  for (const VkName& v : kVkNames)
    if (v.vk == vk) return v.name;
  return std::nullopt;
}

// Keys the file has no LAYOUT line for and whose characters the compiler
// always gives: by key number, the plain, Shift and Ctrl characters. The
// special keys (Tab, Backspace, Esc, Enter) keep the model's special-key
// table instead.
struct FixedKey {
  int key;
  std::array<uint16_t, 3> chars;
};
inline constexpr std::array<FixedKey, 14> kFixedKeys{{
    {50, {u'0', 0, 0}}, {51, {u'1', 0, 0}}, {52, {u'2', 0, 0}}, {53, {u'3', 0, 0}}, {54, {u'4', 0, 0}},
    {55, {u'5', 0, 0}}, {56, {u'6', 0, 0}}, {57, {u'7', 0, 0}}, {58, {u'8', 0, 0}}, {59, {u'9', 0, 0}},
    {60, {u'+', u'+', 0}}, {61, {u'-', u'-', 0}}, {62, {u'*', u'*', 0}}, {63, {u'/', u'/', 0}},
}};

}  // namespace tastora::klc
