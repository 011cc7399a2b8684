// Feeds arbitrary bytes to the .kbd reader as a layout file, then writes what
// it read and reads that back: neither step may fault, and a file the writer
// made must read without complaint.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "kbdfile/KbdFile.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "tests/TestPorts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tastora;
  static auto layout = std::make_unique<KeyboardLayout>();
  static auto again = std::make_unique<KeyboardLayout>();
  ProcessState state;
  state.windowsVersion.platformId = kPlatformWin32Windows;
  Clear(*layout, state);
  testing::MemoryFileSystem files;
  testing::RecordingDialogs dialogs;
  files.Put("KBDUS.KBD", std::vector<uint8_t>(data, data + size));
  if (!ReadKbdFile("KBDUS.KBD", *layout, state, {files, dialogs})) return 0;

  const std::vector<uint8_t> written = BuildKbdFile(*layout, state.kbdHeader);
  testing::RecordingDialogs quiet;
  if (!ReadKbdImage(written, *again, state, quiet)) std::abort();
  for (const auto& message : quiet.messages)
    if (message != "Error: Too many scancodes!") std::abort();
  return 0;
}
