#pragma once
// The kbd.h tables of a layout, serialised into the data section of a layout
// library: everything reached from one KBDTABLES block.

#include <cstdint>

#include "writer/DataSection.h"
#include "writer/ImageKind.h"

namespace tastora {

struct KeyboardLayout;
struct ProcessState;

struct SerialisedTables {
  DataSection section;  // the output position is just after KBDTABLES
  uint32_t tablesRva = 0;
};

// Reads the layout and the process's companion tables, Windows version and
// patch settings; changes neither. The tables grow with the layout: there is
// no capacity beyond which anything is dropped.
SerialisedTables SerialiseLayoutTables(const KeyboardLayout& layout, const ProcessState& state, ImageKind kind,
                                       uint32_t imageBase);

}  // namespace tastora
