#include <cstdio>
#include <string>

#include "platform/Platform.h"

namespace tastora {
namespace {

std::string CharText(uint16_t ch, bool wide) {
  if (ch == 0) return "-";
  if (ch >= 0x20 && ch < 0x7F) return std::string(1, static_cast<char>(ch));
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, wide ? "U+%04X" : "0x%02X", ch);
  return buffer;
}

}  // namespace

bool Dialogs::ShowDuplicateKeys(const DuplicateKeyPair& pair) {
  std::string text = std::string(kDuplicateKeyCaption) + "\r" + kDuplicateKeyText + "\r";
  text += "Key #1 (" + std::to_string(pair.key1Index) + "): " + CharText(pair.key1Chars[0], pair.wideChars) + " " +
          CharText(pair.key1Chars[1], pair.wideChars) + "\r";
  text += "Key #2 (" + std::to_string(pair.key2Index) + "): " + CharText(pair.key2Chars[0], pair.wideChars) + " " +
          CharText(pair.key2Chars[1], pair.wideChars) + "\r";
  text += "Virtual Key: " + pair.vkName + "\r" + kDuplicateKeyQuestion;
  return AskYesNo(text);
}

}  // namespace tastora
