#pragma once
// The example layout data files, compiled into the program.

#include <string_view>

namespace tastora {

// The text of examples/NAME, or empty when there is no such example.
std::string_view EmbeddedExample(std::string_view name);

}  // namespace tastora
