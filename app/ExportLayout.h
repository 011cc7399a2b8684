#pragma once
// Turns any layout the program can read into an editable markup data file.

#include <optional>
#include <string>

#include "datafile/LayoutDataFile.h"

namespace tastora {

struct ProcessState;

// Reads the layout in `path` (a layout data file in any of its forms) and
// returns its markup, or no value when it could not be read (the reason has
// been shown through the dialogs). ImportError travels to the caller.
std::optional<std::string> ExportLayoutFile(const std::string& path, ProcessState& state, const DataFilePorts& ports);

// The US layout with the default key names, as markup.
std::string ExportDefaultLayout(ProcessState& state);

// The file name without folder and extension.
std::string LayoutNameOfPath(const std::string& path);

}  // namespace tastora
