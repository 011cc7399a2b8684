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

// The file name without folder and extension.
std::string LayoutNameOfPath(const std::string& path);

}  // namespace tastora
