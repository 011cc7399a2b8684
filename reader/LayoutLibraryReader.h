#pragma once
// Reads an installed Windows keyboard layout library into the layout model
// and the process's companion tables.

#include <string>

namespace tastora {

class Dialogs;
class FileSystem;
class LibraryLoader;
struct KeyboardLayout;
struct ProcessState;

struct LayoutReaderPorts {
  FileSystem& files;
  LibraryLoader& loader;
  Dialogs& dialogs;
};

// `layout` comes in cleared. Problems are reported only by messages; the
// layout keeps whatever was read before one.
void ReadLayoutLibrary(const std::string& path, KeyboardLayout& layout, ProcessState& state,
                       const LayoutReaderPorts& ports);

}  // namespace tastora
