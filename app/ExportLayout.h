#pragma once
// Turns any layout the program can read into an editable markup data file.

#include <optional>
#include <string>

namespace tastora {

class CodePages;
class Dialogs;
class FileSystem;
class LibraryLoader;
struct ProcessState;

struct LayoutSourcePorts {
  FileSystem& files;
  Dialogs& dialogs;
  CodePages& codePages;
  LibraryLoader& loader;
};

// Reads the layout in `path` (a layout library, an older-family ".kbd" file,
// or a layout data file in any of its forms) and returns its markup, or no
// value when it could not be read whole: a reader's message about the file
// (shown through the dialogs, with the file's name under it) means no export,
// save the note that a library's scan codes beyond the layout's capacity were
// left out. ImportError travels to the caller.
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
