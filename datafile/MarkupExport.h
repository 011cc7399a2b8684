#pragma once
// Writes a layout as a markup layout data file that the loader reads back to
// the same layout: one tag per line, two blanks of indentation per level,
// hexadecimal in capitals.

#include <string>
#include <string_view>
#include <vector>

namespace tastora {

struct KeyboardLayout;
struct ProcessState;

// Written into the root element. Outside 2.61..2.69, so Mapped is hexadecimal.
inline constexpr char kExportVersion[] = "3.00";

// The key-name tables and the special-key table come from `state`.
std::vector<std::string> ExportLayoutMarkup(const KeyboardLayout& layout, const ProcessState& state,
                                            std::string_view layoutName);
// The lines joined with CR LF, as a Windows text file.
std::string JoinMarkupLines(const std::vector<std::string>& lines);

}  // namespace tastora
