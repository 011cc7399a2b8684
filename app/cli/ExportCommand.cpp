#include <cstdio>
#include <memory>

#include "app/ExportLayout.h"
#include "app/cli/CommandOutput.h"
#include "app/cli/Commands.h"
#include "app/cli/TerminalDialogs.h"
#include "datafile/ImportErrors.h"
#include "datafile/MessagesAboutFile.h"
#include "datafile/XmlReader.h"
#include "model/ProcessState.h"
#include "platform/PlatformFactory.h"

namespace tastora {
namespace {

constexpr char kUsage[] = "usage: tastora export (FILE | --us) [-o OUT] [--yes]\n"
    "FILE is a layout library (.dll), an older-family layout file (.kbd), a layout data file (.vyr2000)\n"
    "or a .klc file. OUT ending in .klc gets a .klc file, any other a layout data file.\n";

}  // namespace

int RunExport(const std::vector<std::string>& args) {
  std::string input;
  std::string output;
  bool us = false;
  bool yes = false;  // export what a .klc file can hold of the layout
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size()) {
      output = args[++i];
    } else if (args[i] == "--us") {
      us = true;
    } else if (args[i] == "--yes") {
      yes = true;
    } else if (!args[i].empty() && args[i][0] != '-' && input.empty()) {
      input = args[i];
    } else {
      std::fprintf(stderr, "tastora export: unexpected argument '%s'\n%s", args[i].c_str(), kUsage);
      return kExitUsage;
    }
  }
  if (us == !input.empty()) {
    std::fprintf(stderr, "%s", kUsage);
    return kExitUsage;
  }

  ProcessState state;
  state.unattended = true;
  auto files = MakeFileSystem();
  auto codePages = MakeCodePages();
  auto loader = MakeLibraryLoader();
  TerminalDialogs dialogs(stderr, stderr, yes);
  const LayoutSourcePorts ports{*files, dialogs, *codePages, *loader};

  std::optional<std::string> markup;
  try {
    markup = ExportLayoutAs(us ? std::string() : input, output, state, ports);
  } catch (const ImportError& e) {
    // The file's name under the text: the error says what, not where.
    MessagesAboutFile(dialogs, input).ShowError(e.what(), "");
    return kExitFailure;
  } catch (const FileOpenError& e) {
    dialogs.ShowError(e.what(), "");
    return kExitFailure;
  }
  if (!markup) {
    std::fprintf(stderr, "tastora export: %s was not read as a complete layout.\n", input.c_str());
    return kExitFailure;
  }

  return WriteCommandOutput("export", *markup, output);
}

}  // namespace tastora
