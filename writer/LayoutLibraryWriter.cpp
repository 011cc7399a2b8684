#include "writer/LayoutLibraryWriter.h"

#include "platform/FileWriter.h"
#include "platform/Platform.h"
#include "writer/LayoutTables.h"
#include "writer/PeImage.h"

namespace tastora {
namespace {

std::string_view FileNameOf(std::string_view path) {
  const size_t cut = path.find_last_of("\\/:");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

LayoutImage BuildImage(const ImageFormat& format, const KeyboardLayout& layout, const ProcessState& state,
                       std::string_view fileName) {
  SerialisedTables tables = SerialiseLayoutTables(layout, state, format.kind, format.imageBase);
  DataSection& data = tables.section;
  const uint32_t entry = format.appendEntryCode(data, tables.tablesRva);
  const uint32_t exports = AppendExportDirectory(data, entry, fileName);
  const std::vector<uint8_t> relocations = BuildRelocationBlocks(data.referenceList(), format.relocationType);
  const ImagePlan plan = PlanImage(data.position(), entry, exports, static_cast<uint32_t>(relocations.size()));
  LayoutImage image;
  image.plannedSize = plan.fileSize;
  if (plan.fileSize > kImageBufferSize) return image;
  image.bytes = WriteImage(format, plan, data.bytes(), relocations);
  return image;
}

LibraryWriteResult WriteLibrary(const LayoutImage& image, const std::string& path, const LibraryWriterPorts& ports) {
  if (!image.fits()) {
    ports.dialogs.ShowWarning(ImageTooLargeMessage(image.plannedSize));
    return LibraryWriteResult::TooLarge;
  }
  // Archive alone, so that a read-only, hidden or system file can be
  // replaced; a file that does not exist yet has nothing to change.
  (void)ports.files.SetAttributes(path, kFileAttributeArchive);
  switch (ports.files.WriteWhole(path, image.bytes)) {
    case FileWriter::Outcome::Written:
      return LibraryWriteResult::Written;
    case FileWriter::Outcome::NotOpened:
      ports.dialogs.ShowWarning(kCouldNotWriteFile);
      return LibraryWriteResult::NotOpened;
    case FileWriter::Outcome::WriteFailed:
      break;
  }
  throw LibraryWriteError("Input/output error while writing " + path);
}

}  // namespace

LayoutImage BuildLayoutImage32(const KeyboardLayout& layout, const ProcessState& state, std::string_view fileName) {
  return BuildImage(ImageFormat32(), layout, state, fileName);
}

LayoutImage BuildLayoutImage64(const KeyboardLayout& layout, const ProcessState& state, std::string_view fileName) {
  return BuildImage(ImageFormat64(), layout, state, fileName);
}

LayoutImage BuildLayoutImageArm64(const KeyboardLayout& layout, const ProcessState& state,
                                  std::string_view fileName) {
  return BuildImage(ImageFormatArm64(), layout, state, fileName);
}

LayoutImage BuildLayoutImageNative32(const KeyboardLayout& layout, const ProcessState& state,
                                     std::string_view fileName) {
  return BuildImage(ImageFormatNative32(), layout, state, fileName);
}

std::string ImageTooLargeMessage(size_t plannedSize) {
  return "The layout is too large for a layout library: its file would take " + std::to_string(plannedSize) +
         " bytes, and a layout library may take at most " + std::to_string(kImageBufferSize) +
         " bytes.\rNothing was written.";
}

LibraryWriteResult WriteLayoutLibrary32(const std::string& path, const KeyboardLayout& layout,
                                        const ProcessState& state, const LibraryWriterPorts& ports) {
  return WriteLibrary(BuildLayoutImage32(layout, state, FileNameOf(path)), path, ports);
}

LibraryWriteResult WriteLayoutLibrary64(const std::string& path, const KeyboardLayout& layout,
                                        const ProcessState& state, const LibraryWriterPorts& ports) {
  return WriteLibrary(BuildLayoutImage64(layout, state, FileNameOf(path)), path, ports);
}

LibraryWriteResult WriteLayoutLibraryArm64(const std::string& path, const KeyboardLayout& layout,
                                           const ProcessState& state, const LibraryWriterPorts& ports) {
  return WriteLibrary(BuildLayoutImageArm64(layout, state, FileNameOf(path)), path, ports);
}

LibraryWriteResult WriteLayoutLibraryNative32(const std::string& path, const KeyboardLayout& layout,
                                              const ProcessState& state, const LibraryWriterPorts& ports) {
  return WriteLibrary(BuildLayoutImageNative32(layout, state, FileNameOf(path)), path, ports);
}

}  // namespace tastora
