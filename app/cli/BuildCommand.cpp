// tastora build: a layout data file written as layout libraries, without
// installing anything.

#include <cstdio>
#include <memory>
#include <optional>

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

constexpr char kUsage[] =
    "usage: tastora build DATAFILE -o OUT32.dll [--x64 OUT64.dll] [--arm64 OUTARM64.dll] [--native32 OUT.dll] "
    "[--yes]\n";

struct BuildArgs {
  std::string input;
  std::string out32;
  std::string out64;
  std::string outArm64;
  std::string outNative32;  // for a Windows that is 32-bit throughout
  bool yes = false;         // build what a .klc file holds even where the layout cannot carry all of it
};

std::optional<BuildArgs> ParseArgs(const std::vector<std::string>& args) {
  BuildArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size() && parsed.out32.empty()) {
      parsed.out32 = args[++i];
    } else if (args[i] == "--x64" && i + 1 < args.size() && parsed.out64.empty()) {
      parsed.out64 = args[++i];
    } else if (args[i] == "--arm64" && i + 1 < args.size() && parsed.outArm64.empty()) {
      parsed.outArm64 = args[++i];
    } else if (args[i] == "--native32" && i + 1 < args.size() && parsed.outNative32.empty()) {
      parsed.outNative32 = args[++i];
    } else if (args[i] == "--yes") {
      parsed.yes = true;
    } else if (!args[i].empty() && args[i][0] != '-' && parsed.input.empty()) {
      parsed.input = args[i];
    } else {
      std::fprintf(stderr, "tastora build: unexpected argument '%s'\n", args[i].c_str());
      return std::nullopt;
    }
  }
  if (parsed.input.empty() || parsed.out32.empty()) return std::nullopt;
  return parsed;
}

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

int RunBuild(const std::vector<std::string>& args) {
  const auto parsed = ParseArgs(args);
  if (!parsed) {
    std::fprintf(stderr, "%s", kUsage);
    return kExitUsage;
  }
  ProcessState state;
  state.unattended = true;
  TerminalDialogs dialogs(stderr, stderr, parsed->yes);
  auto layout = std::make_unique<KeyboardLayout>();
  if (!ImportLayout(parsed->input, *layout, state, dialogs)) return kExitFailure;

  auto writer = MakeFileWriter();
  const LibraryWriterPorts ports{*writer, dialogs};
  bool ok = Write(&WriteLayoutLibrary32, parsed->out32, *layout, state, ports);
  if (!parsed->out64.empty()) ok = Write(&WriteLayoutLibrary64, parsed->out64, *layout, state, ports) && ok;
  if (!parsed->outArm64.empty()) ok = Write(&WriteLayoutLibraryArm64, parsed->outArm64, *layout, state, ports) && ok;
  if (!parsed->outNative32.empty())
    ok = Write(&WriteLayoutLibraryNative32, parsed->outNative32, *layout, state, ports) && ok;
  return ok ? kExitOk : kExitFailure;
}

}  // namespace tastora
