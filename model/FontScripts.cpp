#include "model/FontScripts.h"

#include <array>

#include "model/CodePages.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"

namespace tastora {
namespace {

// Every character that takes part in a conversion: all slots of keys 1..132,
// the three fields of each used dead-key entry and the used characters of the
// ligature cells in columns 0..7.
template <typename Fn>
void ForEachConvertedChar(KeyboardLayout& layout, Fn&& fn) {
  for (int n = 1; n <= kLastKey; ++n)
    for (uint16_t& ch : layout.Key(n).chars) fn(ch);
  for (int i = 0; i < layout.deadCount && i < kMaxDeadKeys; ++i) {
    DeadKeyEntry& d = layout.deadKeys[static_cast<size_t>(i)];
    fn(d.accent);
    fn(d.base);
    fn(d.result);
  }
  for (auto& row : layout.ligatures) {
    for (int col = 0; col < 8; ++col) {
      LigatureCell& cell = row[static_cast<size_t>(col)];
      const int used = cell.length < 0 ? 0 : (cell.length > kMaxLigatureLength ? kMaxLigatureLength : cell.length);
      for (int i = 0; i < used; ++i) fn(cell.chars[static_cast<size_t>(i)]);
    }
  }
}

int ChooseScript(const KeyboardLayout& layout) {
  std::array<int, 256> counts{};
  auto count = [&counts](uint16_t ch) { ++counts[static_cast<size_t>(ScriptOfChar(ch))]; };
  for (int n = 1; n <= kLastKey; ++n)
    for (int slot = 0; slot < 8; ++slot) count(layout.Key(n).chars[static_cast<size_t>(slot)]);
  for (int i = 0; i < layout.deadCount && i < kMaxDeadKeys; ++i) {
    count(layout.deadKeys[static_cast<size_t>(i)].base);
    count(layout.deadKeys[static_cast<size_t>(i)].result);
  }
  // Script 0 does not take part; on a tie the lower number wins.
  int best = 0;
  int bestCount = 0;
  for (int script = 1; script < 256; ++script) {
    if (counts[static_cast<size_t>(script)] > bestCount) {
      best = script;
      bestCount = counts[static_cast<size_t>(script)];
    }
  }
  return best;
}

}  // namespace

unsigned CodePageOfScript(int fontScript) {
  switch (fontScript) {
    case kScriptAnsi: return 1252;
    case kScriptDefault: return 0;
    case kScriptGreek: return 1253;
    case kScriptTurkish: return 1254;
    case kScriptBaltic: return 1257;
    case kScriptCyrillic: return 1251;
    case kScriptEastEurope: return 1250;
    default: return 1;
  }
}

int ScriptOfChar(uint16_t ch) {
  if (ch >= 0x0100 && ch <= 0x01FF) return kScriptEastEurope;
  if (ch >= 0x0300 && ch <= 0x03FF) return kScriptGreek;
  if (ch >= 0x0400 && ch <= 0x04FF) return kScriptCyrillic;
  return kScriptAnsi;
}

uint8_t ToNarrow(uint16_t ch, int fontScript, const EuroConversion& euro, CodePages& codePages) {
  if (euro.EuroConvert && ch == euro.EuroConvertUniChar) return static_cast<uint8_t>(euro.EuroConvertChar);
  if (ch == 0) return 0;
  return codePages.WideToNarrow(ch, CodePageOfScript(fontScript), '?');
}

uint16_t ToWide(uint8_t ch, int fontScript, CodePages& codePages) {
  if (ch == 0) return 0;
  return codePages.NarrowToWide(ch, CodePageOfScript(fontScript));
}

void NarrowLayout(KeyboardLayout& layout, bool convert, ProcessState& state, CodePages& codePages) {
  for (KeyRecord& key : layout.keys) key.CapsAware2 = key.CapsAware;
  if (!convert) {
    state.displayScript = kScriptAnsi;
    return;
  }
  const int script = ChooseScript(layout);
  state.displayScript = script;
  ForEachConvertedChar(layout, [&](uint16_t& ch) { ch = ToNarrow(ch, script, state.euro, codePages); });
}

void WidenLayout(KeyboardLayout& layout, bool skip, int fontScript, CodePages& codePages) {
  if (skip) return;
  ForEachConvertedChar(layout, [&](uint16_t& ch) {
    ch = ToWide(static_cast<uint8_t>(ch & 0xFF), fontScript, codePages);
  });
}

}  // namespace tastora
