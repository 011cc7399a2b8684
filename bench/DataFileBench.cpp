#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "datafile/LayoutDataFile.h"
#include "datafile/MarkupExport.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/offline/IconvCodePages.h"
#include "tests/TestPorts.h"

namespace tastora {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void ImportBench(benchmark::State& s, const std::string& text) {
  testing::MemoryFileSystem files;
  testing::RecordingDialogs dialogs;
  IconvCodePages codePages;
  files.Put("in.vyr2000", text);
  ProcessState state;
  state.unattended = true;
  auto layout = std::make_unique<KeyboardLayout>();
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  for (auto _ : s) {
    if (!ImportLayoutFile("in.vyr2000", *layout, state, DataFilePorts{files, dialogs, codePages}))
      s.SkipWithError("import failed");
    benchmark::DoNotOptimize(layout->keys[0].chars[0]);
  }
  s.counters["lines"] = static_cast<double>(lines);
}

// The largest example, when it is there.
void BM_ImportLargestExample(benchmark::State& s) {
  const std::string text = ReadText(std::string(TASTORA_SOURCE_DIR) + "/examples/tastora-demo.vyr2000");
  if (text.empty()) {
    s.SkipWithError("examples/tastora-demo.vyr2000 not found");
    return;
  }
  ImportBench(s, text);
}
BENCHMARK(BM_ImportLargestExample)->Unit(benchmark::kMicrosecond);

// A complete layout of about 2000 lines: the US layout with every slot of the
// typing keys filled, 600 dead-key compositions and ligatures.
void BM_ImportFull2000Lines(benchmark::State& s) {
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  for (int n = 1; n <= 63; ++n)
    for (int slot = 0; slot < 16; ++slot) layout->Key(n).chars[size_t(slot)] = static_cast<uint16_t>(0x100 + n * 16 + slot);
  layout->deadCount = 600;
  for (int i = 0; i < 600; ++i) layout->deadKeys[size_t(i)] = {0x5E, static_cast<uint16_t>(0x41 + i), static_cast<uint16_t>(0x1E00 + i)};
  for (int n = 1; n <= 40; ++n) {
    layout->ligatures[size_t(n)][0].length = 20;
    for (int i = 0; i < 20; ++i) layout->ligatures[size_t(n)][0].chars[size_t(i)] = static_cast<uint16_t>(0x61 + i);
  }
  ImportBench(s, JoinMarkupLines(ExportLayoutMarkup(*layout, state, "FULL")));
}
BENCHMARK(BM_ImportFull2000Lines)->Unit(benchmark::kMicrosecond);

void BM_ExportUs(benchmark::State& s) {
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  for (auto _ : s) benchmark::DoNotOptimize(ExportLayoutMarkup(*layout, state, "US").size());
}
BENCHMARK(BM_ExportUs)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tastora
