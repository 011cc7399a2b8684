#include "app/cli/Commands.h"

#include <array>

namespace tastora {

std::span<const CliCommand> CliCommands() {
  static constexpr std::array<CliCommand, 5> kCommands{{
      {"build", "build DATAFILE -o OUT32.dll [--x64 OUT64.dll]", "write a data file as 32-bit and 64-bit layout libraries", RunBuild},
      {"export", "export (FILE | --us) [-o OUT]", "write a layout as an editable markup data file", RunExport},
      {"init", "init [--root DIR] [--windows 10|xp|98|95]", "make a Windows root folder with a few layouts", RunInit},
      {"keys", "keys", "print the key table with the US layout's characters", RunKeys},
      {"list", "list [--root DIR] [--tsv]", "print the layout catalogue", RunList},
  }};
  return kCommands;
}

}  // namespace tastora
