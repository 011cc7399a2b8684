#include "app/cli/Commands.h"

#include <array>

namespace tastora {

std::span<const CliCommand> CliCommands() {
  static constexpr std::array<CliCommand, 3> kCommands{{
      {"build", "build DATAFILE -o OUT32.dll [--x64 OUT64.dll]", "write a data file as 32-bit and 64-bit layout libraries", RunBuild},
      {"export", "export (FILE | --us) [-o OUT]", "write a layout as an editable markup data file", RunExport},
      {"keys", "keys", "print the key table with the US layout's characters", RunKeys},
  }};
  return kCommands;
}

}  // namespace tastora
