// Feeds arbitrary bytes to the layout data file import, in all three forms.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "datafile/ImportErrors.h"
#include "datafile/LayoutDataFile.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/offline/IconvCodePages.h"
#include "tests/TestPorts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tastora;
  static IconvCodePages codePages;
  testing::MemoryFileSystem files;
  testing::RecordingDialogs dialogs;
  files.Put("in.vyr2000", std::vector<uint8_t>(data, data + size));
  ProcessState state;
  // Half the inputs run as on the 8-bit platform, so narrowing runs too.
  if (size > 0 && (data[size - 1] & 1)) state.windowsVersion = {kPlatformWin32Windows, 4, 10, 0};
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  try {
    ImportLayoutFile("in.vyr2000", *layout, state, DataFilePorts{files, dialogs, codePages});
  } catch (const ImportError&) {
  }
  for (const KeyRecord& key : layout->keys) (void)key.chars[0];
  return 0;
}
