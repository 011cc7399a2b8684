// tastora list: the layout catalogue, for people or (--tsv) for programs.

#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/cli/Commands.h"
#include "app/cli/RootOption.h"
#include "app/cli/StatusLine.h"
#include "app/cli/TerminalDialogs.h"
#include "model/ProcessState.h"
#include "platform/PlatformFactory.h"
#include "system/Locales.h"
#include "system/RegistryEnhanced.h"

namespace tastora {
namespace {

// Tab-separated fields stay on their line: tabs, line ends and backslashes are escaped.
std::string TsvField(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

void PrintTsv(const TLocales& locales) {
  for (int i = 0; i < locales.Count(); ++i) {
    const LayoutEntry e = locales.Get(i);
    const std::string_view fields[] = {e.Id.View(),         e.Substitute.View(), e.LanguageId.View(),
                                       e.LanguageName.View(), e.LanguageTag.View(), e.LayoutLanguageId.View(),
                                       e.LayoutText.View(), e.LayoutId.View(),   e.LayoutFile.View(),
                                       e.LocaleName.View()};
    std::string line = std::to_string(i);
    for (std::string_view field : fields) line += "\t" + TsvField(field);
    std::printf("%s\n", line.c_str());
  }
}

void PrintTable(const TLocales& locales, const WindowsVersion& version) {
  std::printf("Windows %u.%u build %u (%s), %d keyboard layout%s loaded\n", version.major, version.minor,
              version.build, version.platformId == kPlatformWin32Nt ? "NT family" : "Windows 9x family",
              locales.Count(), locales.Count() == 1 ? "" : "s");
  size_t nameWidth = 8;
  size_t textWidth = 6;
  size_t fileWidth = 4;
  for (int i = 0; i < locales.Count(); ++i) {
    const LayoutEntry e = locales.Get(i);
    nameWidth = std::max(nameWidth, e.LocaleName.View().size());
    textWidth = std::max(textWidth, e.LayoutText.View().size());
    fileWidth = std::max(fileWidth, e.LayoutFile.View().size());
  }
  std::printf("%3s  %-3s %-*s  %-*s  %-*s  %s\n", "#", "", int(nameWidth), "Language", int(textWidth), "Layout",
              int(fileWidth), "File", "Identifier");
  for (int i = 0; i < locales.Count(); ++i) {
    const LayoutEntry e = locales.Get(i);
    std::string id = e.Id.Str();
    if (!e.Substitute.Empty()) id += " -> " + e.Substitute.Str();
    std::printf("%3d  %-3s %-*s  %-*s  %-*s  %s\n", i, e.LanguageTag.Str().c_str(), int(nameWidth),
                e.LocaleName.Str().c_str(), int(textWidth), e.LayoutText.Str().c_str(), int(fileWidth),
                e.LayoutFile.Str().c_str(), id.c_str());
  }
}

}  // namespace

int RunList(const ParsedArgs& args) {
  std::string error;
  const auto root = ResolveRoot(args.Value("root"), error);
  if (!root) {
    std::fprintf(stderr, "tastora list: %s\n", error.c_str());
    return kExitFailure;
  }
  // Reading a large registry and a long preload list takes a while.
  StatusLine status = StatusLine::OnStandardError();
  status.Show("reading the registry of " + (root->empty() ? std::string("Windows") : *root));
  auto codePages = MakeCodePages();
  // Messages go to the error stream: the output is the catalogue only.
  TerminalDialogs dialogs(stderr, stderr, false);
  auto system = OpenSystem(*root, *codePages, dialogs, error);
  status.Clear();  // before any message of the catalogue's
  if (!system) {
    std::fprintf(stderr, "tastora list: %s\n", error.c_str());
    return kExitFailure;
  }

  ProcessState state;
  state.windowsVersion = system->session->Version();
  RegistryBackend& registry = *system->registry;
  TRegistryEnhanced currLayoutReg(registry, RootKey::hkCurrentUser);
  TRegistryEnhanced allLayoutsReg(registry, RootKey::hkLocalMachine);
  TRegistryEnhanced languageReg(registry, RootKey::hkLocalMachine);
  TRegistryEnhanced rfcReg(registry, RootKey::hkClassesRoot);
  auto locales = std::make_unique<TLocales>();
  locales->SetProgress([&status](int done, int total) { status.Progress("reading layouts", done, total); });
  if (state.IsNtPlatform())
    locales->CreateNt(currLayoutReg, allLayoutsReg, rfcReg, dialogs);
  else
    locales->Create9x(currLayoutReg, allLayoutsReg, languageReg, dialogs);

  status.Clear();
  if (args.Has("tsv")) PrintTsv(*locales);
  else PrintTable(*locales, state.windowsVersion);
  return StandardOutputWritten() ? kExitOk : kExitFailure;
}

}  // namespace tastora
