#pragma once
// "--wait SECONDS": how long a command that changes a system waits for
// another program changing it before it refuses.

#include <chrono>
#include <string>
#include <vector>

namespace tastora {

// Takes "--wait SECONDS" (or "--wait=SECONDS") out of `args`: a decimal
// number of seconds, fractions allowed, at most a day. False, with `error`,
// for a missing or bad number or a second "--wait".
bool TakeWaitOption(std::vector<std::string>& args, std::chrono::milliseconds& wait, std::string& error);

}  // namespace tastora
