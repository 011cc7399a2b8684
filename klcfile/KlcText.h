#pragma once
// Text helpers the reader and the writer share: UTF-8 for messages and names
// given on the command line, and the file's own case-insensitive keywords.

#include <string>
#include <string_view>

namespace tastora::klc {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);
// ASCII only: keywords and VK names.
bool SameKeyword(std::u16string_view text, std::string_view keyword);

}  // namespace tastora::klc
