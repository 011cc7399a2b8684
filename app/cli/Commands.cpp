#include "app/cli/Commands.h"

#include <array>

namespace tastora {

std::span<const CliCommand> CliCommands() {
  static constexpr std::array<CliCommand, 2> kCommands{{
      {"export", "export (FILE | --us) [-o OUT]", "write a layout as an editable markup data file", RunExport},
      {"keys", "keys", "print the key table with the US layout's characters", RunKeys},
  }};
  return kCommands;
}

}  // namespace tastora
