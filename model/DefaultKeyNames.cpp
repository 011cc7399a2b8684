#include "model/DefaultKeyNames.h"

#include <array>

#include "model/CompanionTables.h"

namespace tastora {
namespace {

constexpr std::array<DefaultKeyName, 52> kKeyNames{{
    {0x01, u"Esc"},         {0x0E, u"Backspace"},   {0x0F, u"Tab"},
    {0x1C, u"Enter"},       {0x1D, u"Ctrl"},        {0x2A, u"Shift"},
    {0x36, u"Right Shift"}, {0x37, u"Num *"},       {0x38, u"Alt"},
    {0x39, u"Space"},       {0x3A, u"Caps Lock"},   {0x3B, u"F1"},
    {0x3C, u"F2"},          {0x3D, u"F3"},          {0x3E, u"F4"},
    {0x3F, u"F5"},          {0x40, u"F6"},          {0x41, u"F7"},
    {0x42, u"F8"},          {0x43, u"F9"},          {0x44, u"F10"},
    {0x45, u"Pause"},       {0x46, u"Scroll Lock"}, {0x47, u"Num 7"},
    {0x48, u"Num 8"},       {0x49, u"Num 9"},       {0x4A, u"Num -"},
    {0x4B, u"Num 4"},       {0x4C, u"Num 5"},       {0x4D, u"Num 6"},
    {0x4E, u"Num +"},       {0x4F, u"Num 1"},       {0x50, u"Num 2"},
    {0x51, u"Num 3"},       {0x52, u"Num 0"},       {0x53, u"Num De"},
    {0x54, u"Sys Req"},     {0x57, u"F11"},         {0x58, u"F12"},
    {0x7C, u"F13"},         {0x7D, u"F14"},         {0x7E, u"F15"},
    {0x7F, u"F16"},         {0x80, u"F17"},         {0x81, u"F18"},
    {0x82, u"F19"},         {0x83, u"F20"},         {0x84, u"F21"},
    {0x85, u"F22"},         {0x86, u"F23"},         {0x87, u"F24"},
    {0x00, u"None"},
}};

constexpr std::array<DefaultKeyName, 23> kExtendedKeyNames{{
    {0x1C, u"Num Enter"},    {0x1D, u"Right Control"}, {0x35, u"Num /"},
    {0x37, u"Prnt Scrn"},    {0x38, u"Right Alt"},     {0x45, u"Num Lock"},
    {0x46, u"Break"},        {0x47, u"Home"},          {0x48, u"Up"},
    {0x49, u"Page Up"},      {0x4B, u"Left"},          {0x4D, u"Right"},
    {0x4F, u"End"},          {0x50, u"Down"},          {0x51, u"Page Down"},
    {0x52, u"Insert"},       {0x53, u"Delete"},        {0x54, u"<00>"},
    {0x56, u"Help"},         {0x5B, u"Left Windows"},  {0x5C, u"Right Windows"},
    {0x5D, u"Application"},  {0x00, u"None"},
}};

void Fill(KeyNameTable& table, std::span<const DefaultKeyName> defaults) {
  table.Empty();
  for (const DefaultKeyName& d : defaults) {
    KeyNameEntry& e = table.entries[static_cast<size_t>(table.count++)];
    e.scan = d.scan;
    e.name = d.name;
  }
}

}  // namespace

std::span<const DefaultKeyName> DefaultKeyNames() { return kKeyNames; }
std::span<const DefaultKeyName> DefaultExtendedKeyNames() { return kExtendedKeyNames; }

std::u16string DefaultNameOfScan(uint8_t scan) {
  for (const DefaultKeyName& d : kKeyNames)
    if (d.scan == scan) return d.name;
  for (const DefaultKeyName& d : kExtendedKeyNames)
    if (d.scan == scan) return d.name;
  return {};
}

void FillDefaultKeyNames(KeyNameTable& keyNames, KeyNameTable& extendedKeyNames) {
  Fill(keyNames, kKeyNames);
  Fill(extendedKeyNames, kExtendedKeyNames);
}

}  // namespace tastora
