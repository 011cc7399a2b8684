#include <cstdio>
#include <memory>

#include "app/cli/Commands.h"
#include "app/cli/TerminalDialogs.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"

namespace tastora {
namespace {

void PrintChar(uint16_t ch) {
  if (ch > 0x20 && ch < 0x7F)
    std::printf("  %c   ", static_cast<char>(ch));
  else if (ch == 0)
    std::printf("  -   ");
  else
    std::printf("%04X  ", ch);
}

}  // namespace

int RunKeys(const ParsedArgs&) {
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  std::printf("key scan  vk    normal shift  expected  description\n");
  for (const KeyTableRow& row : KeyTable()) {
    const KeyRecord& key = layout->Key(row.number);
    std::printf("%3d %s%02X  0x%02X  ", row.number, row.scan & kE0Prefix ? "E0 " : "   ", row.scan & 0xFF, key.vk);
    PrintChar(key.chars[0]);
    PrintChar(key.chars[1]);
    if (row.expectedVk)
      std::printf(" 0x%04X    ", row.expectedVk);
    else
      std::printf("           ");
    std::printf("%s\n", row.description);
  }
  // The table is what the command is for: unwritten, it failed.
  return StandardOutputWritten() ? kExitOk : kExitFailure;
}

}  // namespace tastora
