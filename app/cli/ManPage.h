#pragma once
// The documents made from the command table for the host's installation:
// the manual page tastora.1 and the bash and zsh completions.

#include <string>

namespace tastora {

std::string ManPage(const std::string& version);
std::string BashCompletion();
std::string ZshCompletion();

}  // namespace tastora
