#pragma once
// Where a command's result goes: the file given with -o, or the standard output.

#include <string>
#include <string_view>

namespace tastora {

// Writes `text` whole to `path` through the platform's writer (on Windows a
// UTF-8 path, not one in the ANSI code page), or to the standard output when
// `path` is empty. The exit status: a failed write is told on the error stream.
int WriteCommandOutput(const char* command, std::string_view text, const std::string& path);

}  // namespace tastora
