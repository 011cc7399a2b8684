#include "app/cli/Commands.h"

#include <array>

namespace tastora {

std::span<const CliCommand> CliCommands() {
  static constexpr std::array<CliCommand, 11> kCommands{{
      {"build", "build DATAFILE -o OUT32.dll [--x64 OUT64.dll] [--arm64 OUTARM64.dll] [--native32 OUTNT.dll]", "write a data file as layout libraries", RunBuild},
      {"create", "create TEMPLATE FILE LANG NAME [--root DIR] [--yes|--no] [--wait SECONDS]", "make a layout from a template and install a data file onto it", RunCreate},
      {"export", "export (FILE | --us) [-o OUT]", "write a layout as an editable markup data file", RunExport},
      {"init", "init [--root DIR] [--windows 11|11-arm64|10|8.1|xp|98|95] [--wait SECONDS]", "make a Windows root folder with a few layouts", RunInit},
      {"install", "install POS FILE [--root DIR] [--yes|--no] [--wait SECONDS]", "install a data file over a catalogue entry", RunInstall},
      {"keys", "keys", "print the key table with the US layout's characters", RunKeys},
      {"list", "list [--root DIR] [--tsv]", "print the layout catalogue", RunList},
      {"new", "new TEMPLATE LANG NAME [--root DIR] [--wait SECONDS]", "make a layout from a template (a copy of its library)", RunNew},
      {"picture", "picture (FILE | POS) [--root DIR] [--shape ansi|iso|abnt|jis] [-o OUT.svg]", "draw a layout as an SVG picture of its keyboard", RunPicture},
      {"remove", "remove POS [--root DIR] [--yes|--no] [--wait SECONDS]", "remove a layout this program created", RunRemove},
      {"restore", "restore POS [--root DIR] [--yes|--no] [--wait SECONDS]", "point a layout back at the system's own file", RunRestore},
  }};
  return kCommands;
}

}  // namespace tastora
