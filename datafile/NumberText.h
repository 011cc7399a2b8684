#pragma once
// The number encodings of layout data files.

#include <cstdint>
#include <string>
#include <string_view>

namespace tastora {

// Hexadecimal without prefix, digits 0-9 and A-F, value fitting in 32 bits.
// Throws ConversionError naming the text with a leading "$".
int32_t HexValue(std::string_view text);
uint8_t HexByte(std::string_view text);
// Decimal, optionally signed, fitting in 32 bits. Throws ConversionError.
int32_t DecimalValue(std::string_view text);

// Upper-case hexadecimal with at least `width` digits.
std::string HexText(uint32_t value, int width);

}  // namespace tastora
