#include "app/cli/Commands.h"

#include <array>

namespace tastora {

std::span<const CliCommand> CliCommands() {
  static constexpr std::array<CliCommand, 1> kCommands{{
      {"keys", "keys", "print the key table with the US layout's characters", RunKeys},
  }};
  return kCommands;
}

}  // namespace tastora
