// tastora build: a layout data file written as layout libraries, without
// installing anything.

#include <cstdio>
#include <memory>
#include <optional>

#include "app/cli/CommandHelp.h"
#include "app/LayoutFileImport.h"
#include "app/cli/Commands.h"
#include "app/cli/TerminalDialogs.h"
#include "datafile/ImportErrors.h"
#include "datafile/LayoutDataFile.h"
#include "datafile/MessagesAboutFile.h"
#include "datafile/XmlReader.h"
#include "model/KeyboardLayout.h"
#include "model/Keypad.h"
#include "model/ProcessState.h"
#include "platform/PlatformFactory.h"
#include "writer/LayoutLibraryWriter.h"
#include "writer/UnassignedKeys.h"

namespace tastora {
namespace {

// The layout as an install would write it: the data file over the US
// layout, keypad VKs in the model's form, unassigned keys normalised.
bool ImportLayout(const std::string& path, KeyboardLayout& layout, ProcessState& state, Dialogs& dialogs) {
  auto files = MakeFileSystem();
  auto codePages = MakeCodePages();
  ResetToDefault(layout, state);
  try {
    if (!ImportUserLayoutFile(path, layout, state, DataFilePorts{*files, dialogs, *codePages})) {
      std::fprintf(stderr, "tastora build: %s was not read as a complete layout.\n", path.c_str());
      return false;
    }
  } catch (const ImportError& e) {
    // The file's name under the text: the error says what, not where.
    MessagesAboutFile(dialogs, path).ShowError(e.what(), "");
    return false;
  } catch (const FileOpenError& e) {
    dialogs.ShowError(e.what(), "");
    return false;
  }
  AdjustNumpad(layout, state);
  NormaliseUnassignedKeys(layout, state);
  return true;
}

using WriteFn = LibraryWriteResult (*)(const std::string&, const KeyboardLayout&, const ProcessState&,
                                       const LibraryWriterPorts&);

bool Write(WriteFn write, const std::string& path, const KeyboardLayout& layout, const ProcessState& state,
           const LibraryWriterPorts& ports) {
  try {
    return write(path, layout, state, ports) == LibraryWriteResult::Written;
  } catch (const LibraryWriteError& e) {
    std::fprintf(stderr, "tastora build: %s\n", e.what());
    return false;
  }
}

}  // namespace

int RunBuild(const ParsedArgs& args) {
  const std::optional<std::string> out32 = args.Value("output");
  if (!out32) return UsageError(args.Command(), "missing -o OUT32.dll (the 32-bit library to write)");
  const std::string& input = args.Positionals()[0];
  ProcessState state;
  state.unattended = true;
  TerminalDialogs dialogs(stderr, stderr, args.Has("yes"));
  auto layout = std::make_unique<KeyboardLayout>();
  if (!ImportLayout(input, *layout, state, dialogs)) return kExitFailure;

  auto writer = MakeFileWriter();
  const LibraryWriterPorts ports{*writer, dialogs};
  bool ok = Write(&WriteLayoutLibrary32, *out32, *layout, state, ports);
  const struct {
    const char* option;
    WriteFn write;
  } more[] = {{"x64", &WriteLayoutLibrary64}, {"arm64", &WriteLayoutLibraryArm64},
              {"native32", &WriteLayoutLibraryNative32}};
  for (const auto& m : more)
    if (const auto path = args.Value(m.option)) ok = Write(m.write, *path, *layout, state, ports) && ok;
  return ok ? kExitOk : kExitFailure;
}

}  // namespace tastora
