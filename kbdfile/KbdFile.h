#pragma once
// Layout files of the older Windows family (".kbd"): read into the layout
// model and written from it. Characters in them are 8-bit code-page values.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tastora {

class Dialogs;
class FileSystem;
class FileWriter;
struct KbdFileHeader;
struct KeyboardLayout;
struct ProcessState;

// The reader looks at no more than this many bytes of a file.
inline constexpr size_t kKbdReadLimit = 10001;

inline constexpr char kKbdCouldNotWrite[] = "Could not write to the file.";

// The file starts with the "DS" signature.
bool IsKbdFile(std::span<const uint8_t> bytes);

struct KbdReaderPorts {
  FileSystem& files;
  Dialogs& dialogs;
};

// Fills `layout` from the file at `path` and keeps the file's carried header
// in `state.kbdHeader`. Problems are shown as "Error" boxes; `layout` and the
// state change only when the file could be read (true). The companion tables
// are not touched.
bool ReadKbdFile(const std::string& path, KeyboardLayout& layout, ProcessState& state, const KbdReaderPorts& ports);
// The same from a file's bytes, however many there are.
bool ReadKbdImage(std::span<const uint8_t> bytes, KeyboardLayout& layout, ProcessState& state, Dialogs& dialogs);

// The whole file for `layout`; `carried` is the header of the file read last.
// Every layout the model can hold fits the format's 16-bit offsets.
std::vector<uint8_t> BuildKbdFile(const KeyboardLayout& layout, const KbdFileHeader& carried);

struct KbdWriterPorts {
  FileWriter& files;
  Dialogs& dialogs;
};

// Replaces the file at `path` (a read-only one included) in one write. On
// failure the warning kKbdCouldNotWrite is shown and false returned.
[[nodiscard]] bool WriteKbdFile(const std::string& path, const KeyboardLayout& layout, const ProcessState& state,
                                const KbdWriterPorts& ports);

}  // namespace tastora
