#pragma once
// Pictures of layouts, to see one before installing it: a layout file of any
// kind, or the layout a catalogue entry types today.

#include <optional>
#include <string>

#include "app/AnyLayoutFile.h"
#include "picture/KeyboardShapes.h"

namespace tastora {

class CodePages;
class Dialogs;
struct KeyboardLayout;
struct ProcessState;
struct SystemPorts;

// The English name of the layout's language; empty when it has none we know.
std::string LanguageOfLayout(const KeyboardLayout& layout);

// The SVG picture of the layout in `path`, named after the file, on `shape`
// or else the shape its keys call for. No value when the file was not read
// whole (the readers have said why). ImportError and FileOpenError travel
// to the caller.
std::optional<std::string> PictureOfLayoutFile(const std::string& path, std::optional<KeyboardShape> shape,
                                               ProcessState& state, const LayoutSourcePorts& ports);

// The picture of the library the catalogue entry at `position` is
// registered with now, named and titled as the catalogue shows it. No value,
// with a message, when there is no such entry or its library does not read.
std::optional<std::string> PictureOfCatalogueEntry(SystemPorts& system, CodePages& codePages, Dialogs& dialogs,
                                                   int position, std::optional<KeyboardShape> shape);

}  // namespace tastora
