#include "reader/LayoutLibraryReader.h"

#include <array>
#include <vector>

#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/LibraryLoader.h"
#include "platform/Platform.h"
#include "reader/FileImageWalk.h"
#include "reader/LayoutWalk.h"
#include "reader/LibraryMachine.h"

namespace tastora {
namespace {

constexpr size_t kFileImageSize = 65536;
constexpr const char* kDescriptorName = "KbdLayerDescriptor";
constexpr const char* kBadLayout = "Bad layout.";
constexpr const char* kCouldNotOpen = "Could not open layout.";
constexpr const char* kRunAsAdministrator =
    "Could not open layout. If you are running Vista or Windows 7 OS,\r"
    "please make sure that you run this program as administrator.\r"
    "Right click on the VYR icon and choose Run as administrator option.";

constexpr const char* kUnknownTables =
    "Bad layout.\rIts tables are in neither form of keyboard layout tables: with references of 4 bytes "
    "(32-bit Windows) or of 8 bytes (64-bit Windows).";

enum class Walked { Read, Unrecognised, Broken };

void Report(Walked walked, const char* broken, Dialogs& dialogs) {
  if (walked == Walked::Unrecognised) dialogs.ShowMessage(kUnknownTables);
  if (walked == Walked::Broken) dialogs.ShowMessage(broken);
}

// The tables at `at`, into the model and the companion tables.
Walked WalkTables(LayoutMemory& memory, Location at, uint64_t anchor, const ReferenceResolver& resolver,
                  KeyboardLayout& layout, ProcessState& state, Dialogs& dialogs) {
  // A block too short for either form is a library cut short, not one in a
  // form this reader does not know.
  std::array<uint8_t, kbd::kNarrowReferences.TablesSize()> block;
  if (!memory.Read(at, block)) return Walked::Broken;
  const auto tables = ReadLayoutTables(memory, at, anchor, resolver);
  if (!tables) return Walked::Unrecognised;
  LayoutWalk walk{memory, *tables, resolver, anchor, layout, state, dialogs, {}, -1, std::nullopt};
  if (!FillLayoutModel(walk)) return Walked::Broken;
  FillSpecialKeys(layout, state);
  return Walked::Read;
}

void ReadThroughLibrary(LibraryHandle library, const std::vector<uint8_t>& fileImage, KeyboardLayout& layout,
                        ProcessState& state, const LayoutReaderPorts& ports) {
  const auto descriptor = ports.loader.FindExport(library, kDescriptorName);
  const auto tables = descriptor ? ports.loader.CallDescriptor(library, *descriptor) : std::nullopt;
  if (!tables) {
    ports.dialogs.ShowMessage(kBadLayout);
    return;
  }
  LayoutMemory memory(fileImage, &ports.loader, library);
  ReferenceResolver resolver{state.windowsVersion.major, 0, {}};
  resolver.inLoadedImage = [&ports, library](uint64_t address) {
    uint8_t probe[1];
    return ports.loader.ReadMemory(library, address, probe);
  };
  const Location at = resolver.Resolve(static_cast<uint32_t>(*tables), *descriptor);
  // Tables that run out of the library are as bad as a missing descriptor.
  Report(WalkTables(memory, at, *descriptor, resolver, layout, state, ports.dialogs), kBadLayout, ports.dialogs);
}

Walked ReadThroughFileImage(const std::vector<uint8_t>& fileImage, KeyboardLayout& layout, ProcessState& state,
                            Dialogs& dialogs) {
  const auto found = FindTablesInFileImage(ByteReader(fileImage));
  if (!found) return Walked::Broken;
  LayoutMemory memory(fileImage, nullptr, 0);
  const ReferenceResolver resolver{state.windowsVersion.major, found->sectionDelta, {}, found->imageBaseUpper};
  return WalkTables(memory, {Space::FileImage, found->offset}, found->offset, resolver, layout, state, dialogs);
}

}  // namespace

void ReadLayoutLibrary(const std::string& path, KeyboardLayout& layout, ProcessState& state,
                       const LayoutReaderPorts& ports) {
  const std::vector<uint8_t> fileImage = ports.files.ReadFile(path, kFileImageSize, false).value_or(std::vector<uint8_t>{});
  if (const auto machine = LibraryMachine(fileImage); machine && !IsReadableMachine(*machine)) {
    ports.dialogs.ShowMessage(UnreadableMachineMessage(*machine));
    return;
  }
  if (const auto library = ports.loader.Load(path)) {
    ReadThroughLibrary(*library, fileImage, layout, state, ports);
    ports.loader.Unload(*library);
    return;
  }
  if (state.windowsVersion.major < 6) {
    ports.dialogs.ShowMessage(kCouldNotOpen);
    return;
  }
  // Newer systems may refuse a library in the system folder to a program
  // without administrator rights; its file can still be read.
  Report(ReadThroughFileImage(fileImage, layout, state, ports.dialogs), kRunAsAdministrator, ports.dialogs);
}

}  // namespace tastora
