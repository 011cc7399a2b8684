#pragma once
// The processor a library file is built for, from its PE header, so that a
// library for a processor whose layouts this program does not read is turned
// away with a message that says so.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tastora {

// The COFF machine field, or no value when the file has no PE header.
std::optional<uint16_t> LibraryMachine(std::span<const uint8_t> file);
bool IsReadableMachine(uint16_t machine);
// "This layout library is built for ..." naming the processor.
std::string UnreadableMachineMessage(uint16_t machine);

}  // namespace tastora
