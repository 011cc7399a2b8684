// tastora picture: an SVG picture of a layout, to see it before installing it.

#include <cstdio>
#include <memory>

#include "app/LayoutPictures.h"
#include "app/MainActions.h"
#include "app/cli/CommandHelp.h"
#include "app/cli/CommandOutput.h"
#include "app/cli/Commands.h"
#include "app/cli/RootOption.h"
#include "app/cli/TerminalDialogs.h"
#include "datafile/ImportErrors.h"
#include "datafile/MessagesAboutFile.h"
#include "datafile/XmlReader.h"
#include "model/ProcessState.h"
#include "platform/PlatformFactory.h"

namespace tastora {
namespace {

std::optional<std::string> PictureOfEntry(const std::optional<std::string>& given, int position,
                                          std::optional<KeyboardShape> shape, Dialogs& dialogs) {
  std::string error;
  const auto root = ResolveRoot(given, error);
  auto codePages = MakeCodePages();
  auto system = root ? OpenSystem(*root, *codePages, dialogs, error) : std::nullopt;
  if (!system) {
    std::fprintf(stderr, "tastora picture: %s\n", error.c_str());
    return std::nullopt;
  }
  return PictureOfCatalogueEntry(*system, *codePages, dialogs, position, shape);
}

}  // namespace

int RunPicture(const ParsedArgs& args) {
  const std::optional<std::string> root = args.Value("root");
  const std::string& input = args.Positionals()[0];
  const std::string output = args.Value("output").value_or("");
  std::optional<KeyboardShape> shape;
  if (const auto name = args.Value("shape")) {
    shape = ParseShape(*name);
    if (!shape) return UsageError(args.Command(), "unknown shape '" + *name + "'");
  }
  const auto position = ParseDecimal(input);
  if (root && !position) return UsageError(args.Command(), "--root goes with a catalogue position, not a file");

  // Messages go to the error stream: the output may be the picture.
  TerminalDialogs dialogs(stderr, stderr, false);
  std::optional<std::string> svg;
  if (position) {
    svg = PictureOfEntry(root, *position, shape, dialogs);
  } else {
    ProcessState state;
    state.unattended = true;
    auto files = MakeFileSystem();
    auto codePages = MakeCodePages();
    auto loader = MakeLibraryLoader();
    try {
      svg = PictureOfLayoutFile(input, shape, state, LayoutSourcePorts{*files, dialogs, *codePages, *loader});
    } catch (const ImportError& e) {
      MessagesAboutFile(dialogs, input).ShowError(e.what(), "");
    } catch (const FileOpenError& e) {
      dialogs.ShowError(e.what(), "");
    }
  }
  if (!svg) {
    std::fprintf(stderr, "tastora picture: %s was not read as a complete layout.\n", input.c_str());
    return kExitFailure;
  }
  return WriteCommandOutput("picture", *svg, output);
}

}  // namespace tastora
