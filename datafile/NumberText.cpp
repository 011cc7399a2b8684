#include "datafile/NumberText.h"

#include "datafile/ImportErrors.h"

namespace tastora {

int32_t HexValue(std::string_view text) {
  if (text.empty()) throw ConversionError("$" + std::string(text));
  uint64_t value = 0;
  for (char ch : text) {
    int digit;
    if (ch >= '0' && ch <= '9')
      digit = ch - '0';
    else if (ch >= 'A' && ch <= 'F')
      digit = ch - 'A' + 10;
    else
      throw ConversionError("$" + std::string(text));
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) throw ConversionError("$" + std::string(text));
  }
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

uint8_t HexByte(std::string_view text) { return static_cast<uint8_t>(HexValue(text) & 0xFF); }

int32_t DecimalValue(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) throw ConversionError(std::string(text));
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') throw ConversionError(std::string(text));
    value = value * 10 + (text[i] - '0');
    if (value > 0x80000000LL) throw ConversionError(std::string(text));
  }
  if (negative) value = -value;
  if (value > INT32_MAX) throw ConversionError(std::string(text));
  return static_cast<int32_t>(value);
}

std::string HexText(uint32_t value, int width) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char buffer[8];
  int n = 0;
  do {
    buffer[n++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  std::string out;
  out.reserve(static_cast<size_t>(width > n ? width : n));
  for (int i = n; i < width; ++i) out += '0';
  while (n > 0) out += buffer[--n];
  return out;
}

}  // namespace tastora
