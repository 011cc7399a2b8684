#pragma once
// Turns any layout the program can read into an editable markup data file.

#include <optional>
#include <string>

#include "app/AnyLayoutFile.h"

namespace tastora {

struct ProcessState;

// The layout in `path`, any file ReadAnyLayoutFile reads, as markup; no
// value when it could not be read whole. ImportError travels to the caller.
std::optional<std::string> ExportLayoutFile(const std::string& path, ProcessState& state,
                                            const LayoutSourcePorts& ports);

// The US layout with the default key names, as markup.
std::string ExportDefaultLayout(ProcessState& state);

// The export the output's name asks for: a ".klc" file's bytes (UTF-16LE)
// for a name ending in ".klc", otherwise markup as above. What a ".klc" file
// cannot hold is shown, and the export goes on only when the user agrees.
// `path` empty means the US layout.
std::optional<std::string> ExportLayoutAs(const std::string& path, const std::string& output, ProcessState& state,
                                          const LayoutSourcePorts& ports);

// The file name without folder and extension.
std::string LayoutNameOfPath(const std::string& path);

}  // namespace tastora
