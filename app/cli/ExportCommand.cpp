#include <cstdio>
#include <memory>

#include "app/ExportLayout.h"
#include "app/cli/CommandHelp.h"
#include "app/cli/CommandOutput.h"
#include "app/cli/Commands.h"
#include "app/cli/TerminalDialogs.h"
#include "datafile/ImportErrors.h"
#include "datafile/MessagesAboutFile.h"
#include "datafile/XmlReader.h"
#include "model/ProcessState.h"
#include "platform/PlatformFactory.h"

namespace tastora {
int RunExport(const ParsedArgs& args) {
  const bool us = args.Has("us");
  const std::string input = args.Positionals().empty() ? std::string() : args.Positionals()[0];
  const std::string output = args.Value("output").value_or("");
  if (us == !args.Positionals().empty()) return UsageError(args.Command(), "give a FILE or --us");

  ProcessState state;
  state.unattended = true;
  auto files = MakeFileSystem();
  auto codePages = MakeCodePages();
  auto loader = MakeLibraryLoader();
  TerminalDialogs dialogs(stderr, stderr, args.Has("yes"));
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
