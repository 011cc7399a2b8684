#pragma once
// Any layout file the program reads, into the model: the one place that
// tells the file kinds apart.

#include <string>

namespace tastora {

class CodePages;
class Dialogs;
class FileSystem;
class LibraryLoader;
struct KeyboardLayout;
struct KlcHeader;
struct ProcessState;

struct LayoutSourcePorts {
  FileSystem& files;
  Dialogs& dialogs;
  CodePages& codePages;
  LibraryLoader& loader;
};

// Reads the layout in `path` (a layout library, an older-family ".kbd" file,
// a ".klc" source, or a layout data file in any of its forms) over a cleared
// `layout`; `header` gets a ".klc" file's own description of the layout. False
// when it could not be read whole: a reader's message about the file (shown
// through the dialogs, with the file's name under it) means the layout is
// incomplete, save the note that a library's scan codes beyond the layout's
// capacity were left out. ImportError and FileOpenError travel to the caller.
bool ReadAnyLayoutFile(const std::string& path, KeyboardLayout& layout, ProcessState& state,
                       const LayoutSourcePorts& ports, KlcHeader* header = nullptr);

}  // namespace tastora
