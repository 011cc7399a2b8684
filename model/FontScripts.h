#pragma once
// Font scripts (Windows character-set numbers) and the 8-bit <-> 16-bit
// character conversions used when a layout crosses between the NT platform
// and the 8-bit platform.

#include <cstdint>

namespace tastora {

class CodePages;
struct EuroConversion;
struct KeyboardLayout;
struct ProcessState;

inline constexpr int kScriptAnsi = 0;
inline constexpr int kScriptDefault = 1;
inline constexpr int kScriptGreek = 161;
inline constexpr int kScriptTurkish = 162;
inline constexpr int kScriptBaltic = 186;
inline constexpr int kScriptCyrillic = 204;
inline constexpr int kScriptEastEurope = 238;

// 0 = the system's default code page, 1 = its OEM code page.
unsigned CodePageOfScript(int fontScript);
int ScriptOfChar(uint16_t ch);

uint8_t ToNarrow(uint16_t ch, int fontScript, const EuroConversion& euro, CodePages& codePages);
uint16_t ToWide(uint8_t ch, int fontScript, CodePages& codePages);

// Copies CapsAware into CapsAware2 on every key; with `convert`, narrows every
// character to the script most of them belong to and makes that the display
// script, otherwise resets the display script.
void NarrowLayout(KeyboardLayout& layout, bool convert, ProcessState& state, CodePages& codePages);
// Widens every character with the code page of `fontScript` unless `skip`.
void WidenLayout(KeyboardLayout& layout, bool skip, int fontScript, CodePages& codePages);

}  // namespace tastora
