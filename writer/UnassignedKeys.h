#pragma once
// Before a layout is written, the non-typing keys that were given no
// characters of their own go back to their plain function, so that what a
// data file left in them does not reach the library.

namespace tastora {

struct KeyboardLayout;
struct ProcessState;

// Keys 64 to 125 with AssignedChar 0: no characters, and their expected VK
// (the NT platform's, or the 8-bit platform's on that platform).
void NormaliseUnassignedKeys(KeyboardLayout& layout, const ProcessState& state);

}  // namespace tastora
