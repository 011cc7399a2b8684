#pragma once
// The layout files a user gives the program to install or build: layout data
// files in any of their forms, and ".klc" layout sources, told apart by what
// they hold rather than by their names.

#include <optional>
#include <string>

#include "datafile/LayoutDataFile.h"

namespace tastora {

struct KlcHeader;

// Whether the file is a ".klc" source, by its first keyword.
bool IsKlcLayoutFile(const std::string& path, FileSystem& files);

// Loads the file over `layout` as ImportLayoutFile does; a ".klc" file asks
// first when it holds what the layout cannot carry. `header` gets a ".klc"
// file's own description of the layout.
bool ImportUserLayoutFile(const std::string& path, KeyboardLayout& layout, ProcessState& state,
                          const DataFilePorts& ports, KlcHeader* header = nullptr);

// The language and name a ".klc" file gives its layout (LOCALEID,
// DESCRIPTIONS), for a create that leaves them out; no value, with `error`,
// when the file is no ".klc" file or does not give them.
struct LanguageAndName {
  int32_t language;
  std::string name;
};
std::optional<LanguageAndName> LanguageAndNameOfFile(const std::string& path, FileSystem& files, std::string& error);

}  // namespace tastora
