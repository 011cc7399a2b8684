// tastora picture: an SVG picture of a layout, to see it before installing it.

#include <cstdio>
#include <memory>

#include "app/LayoutPictures.h"
#include "app/MainActions.h"
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

constexpr char kUsage[] = "usage: tastora picture (FILE | POS) [--root DIR] [--shape ansi|iso|abnt|jis] [-o OUT.svg]\n"
    "FILE is any layout file the program reads; POS (a number) is a catalogue entry, its layout as installed.\n";

int Usage(const std::string& error) {
  std::fprintf(stderr, "tastora picture: %s\n%s", error.c_str(), kUsage);
  return kExitUsage;
}

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

int RunPicture(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::optional<std::string> root;
  std::string error;
  if (!TakeRootOption(args, root, error)) return Usage(error);
  std::string input;
  std::string output;
  std::optional<KeyboardShape> shape;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size()) {
      output = args[++i];
    } else if (args[i] == "--shape" && i + 1 < args.size()) {
      shape = ParseShape(args[++i]);
      if (!shape) return Usage("unknown shape '" + args[i] + "'");
    } else if (!args[i].empty() && args[i][0] != '-' && input.empty()) {
      input = args[i];
    } else {
      return Usage("unexpected argument '" + args[i] + "'");
    }
  }
  if (input.empty()) return Usage("no layout given");
  const auto position = ParseDecimal(input);
  if (root && !position) return Usage("--root goes with a catalogue position, not a file");

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
