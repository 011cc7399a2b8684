// Writing the largest example layout as layout libraries, in memory: the
// tables alone, and each whole image.

#include <benchmark/benchmark.h>

#include <memory>

#include "datafile/LayoutDataFile.h"
#include "model/KeyboardLayout.h"
#include "model/Keypad.h"
#include "model/ProcessState.h"
#include "platform/offline/HostFileSystem.h"
#include "platform/offline/IconvCodePages.h"
#include "tests/TestPorts.h"
#include "writer/LayoutLibraryWriter.h"
#include "writer/LayoutTables.h"
#include "writer/UnassignedKeys.h"

namespace tastora {
namespace {

struct Demo {
  std::unique_ptr<KeyboardLayout> layout = std::make_unique<KeyboardLayout>();
  ProcessState state;

  Demo() {
    HostFileSystem files;
    testing::RecordingDialogs dialogs;
    IconvCodePages codePages;
    state.unattended = true;
    ResetToDefault(*layout, state);
    ImportLayoutFile(std::string(TASTORA_SOURCE_DIR) + "/examples/tastora-demo.vyr2000", *layout, state,
                     DataFilePorts{files, dialogs, codePages});
    AdjustNumpad(*layout, state);
    NormaliseUnassignedKeys(*layout, state);
  }
};

const Demo& TheDemo() {
  static const Demo demo;
  return demo;
}

void BM_SerialiseLayoutTables(benchmark::State& bench) {
  const Demo& demo = TheDemo();
  for (auto _ : bench) {
    SerialisedTables tables = SerialiseLayoutTables(*demo.layout, demo.state, ImageKind::X86, kImageBase32);
    benchmark::DoNotOptimize(tables.tablesRva);
  }
}
BENCHMARK(BM_SerialiseLayoutTables);

void BM_BuildLayoutImage32(benchmark::State& bench) {
  const Demo& demo = TheDemo();
  for (auto _ : bench) {
    LayoutImage image = BuildLayoutImage32(*demo.layout, demo.state, "l_kbddemo.dll");
    benchmark::DoNotOptimize(image.bytes.data());
  }
}
BENCHMARK(BM_BuildLayoutImage32);

void BM_BuildLayoutImage64(benchmark::State& bench) {
  const Demo& demo = TheDemo();
  for (auto _ : bench) {
    LayoutImage image = BuildLayoutImage64(*demo.layout, demo.state, "l_kbddemo.dll");
    benchmark::DoNotOptimize(image.bytes.data());
  }
}
BENCHMARK(BM_BuildLayoutImage64);

// What an install writes: both images.
void BM_BuildBothImages(benchmark::State& bench) {
  const Demo& demo = TheDemo();
  for (auto _ : bench) {
    LayoutImage x86 = BuildLayoutImage32(*demo.layout, demo.state, "l_kbddemo.dll");
    LayoutImage x64 = BuildLayoutImage64(*demo.layout, demo.state, "l_kbddemo.dll");
    benchmark::DoNotOptimize(x86.bytes.data());
    benchmark::DoNotOptimize(x64.bytes.data());
  }
}
BENCHMARK(BM_BuildBothImages);

}  // namespace
}  // namespace tastora
