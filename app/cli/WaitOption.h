#pragma once
// "--wait SECONDS": how long a command that changes a system waits for
// another program changing it before it refuses.

#include <chrono>
#include <string>

#include "app/cli/CommandDefinition.h"

namespace tastora {

// The wait given by "--wait SECONDS" (a decimal number of seconds, fractions
// allowed, at most a day), else kDefaultLockWait. False, with `error`, for a
// bad number.
bool ReadWaitOption(const ParsedArgs& args, std::chrono::milliseconds& wait, std::string& error);

}  // namespace tastora
