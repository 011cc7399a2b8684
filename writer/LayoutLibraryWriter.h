#pragma once
// Writes a layout as a Windows keyboard layout library: a 32-bit (x86) or a
// 64-bit (x64, ARM64) image carrying the kbd.h tables and exporting
// KbdLayerDescriptor.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tastora {

class Dialogs;
class FileWriter;
struct KeyboardLayout;
struct ProcessState;

// No image is larger than this; a layout that would need more is refused.
inline constexpr size_t kImageBufferSize = 200001;

inline constexpr char kCouldNotWriteFile[] =
    "Could not write to the file.\rIf you are running Windows Vista, please check if you are running the program "
    "as administrator\r(right click, option \"Run as administrator\" from the popup menu),\rreboot and check if the "
    "changes were saved.\rIf the changes were not saved, please contact the authors.";

struct LayoutImage {
  std::vector<uint8_t> bytes;  // empty when the image would not fit
  size_t plannedSize = 0;      // the file size the layout needs

  bool fits() const { return !bytes.empty(); }
};

// `fileName` is the file's own name; its first 12 characters go into the
// export directory.
LayoutImage BuildLayoutImage32(const KeyboardLayout& layout, const ProcessState& state, std::string_view fileName);
LayoutImage BuildLayoutImage64(const KeyboardLayout& layout, const ProcessState& state, std::string_view fileName);
// The native library of Windows on ARM64: the x64 image's tables, ARM64 code.
LayoutImage BuildLayoutImageArm64(const KeyboardLayout& layout, const ProcessState& state,
                                  std::string_view fileName);
// The 32-bit image for a Windows without a 64-bit system: 4-byte references.
LayoutImage BuildLayoutImageNative32(const KeyboardLayout& layout, const ProcessState& state,
                                     std::string_view fileName);

// "Too large" text for a layout whose image would take `plannedSize` bytes.
std::string ImageTooLargeMessage(size_t plannedSize);

struct LibraryWriterPorts {
  FileWriter& files;
  Dialogs& dialogs;
};

enum class LibraryWriteResult {
  Written,
  NotOpened,  // the warning kCouldNotWriteFile was shown; the file is as it was
  TooLarge,   // the layout does not fit a library; nothing was touched
};

// The file was opened, but writing or closing it failed.
class LibraryWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Build the image, then replace the file at `path` with it (an existing
// read-only, hidden or system file included) in one write.
[[nodiscard]] LibraryWriteResult WriteLayoutLibrary32(const std::string& path, const KeyboardLayout& layout,
                                                      const ProcessState& state, const LibraryWriterPorts& ports);
[[nodiscard]] LibraryWriteResult WriteLayoutLibrary64(const std::string& path, const KeyboardLayout& layout,
                                                      const ProcessState& state, const LibraryWriterPorts& ports);
[[nodiscard]] LibraryWriteResult WriteLayoutLibraryArm64(const std::string& path, const KeyboardLayout& layout,
                                                         const ProcessState& state, const LibraryWriterPorts& ports);
[[nodiscard]] LibraryWriteResult WriteLayoutLibraryNative32(const std::string& path, const KeyboardLayout& layout,
                                                            const ProcessState& state, const LibraryWriterPorts& ports);

}  // namespace tastora
