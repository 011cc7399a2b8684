#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "klcfile/KlcFile.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"

namespace tastora {
namespace {

// The US layout as a .klc file's text, as export writes it.
std::u16string UsText(ProcessState& state) {
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  std::vector<std::string> problems;
  return WriteKlcText(*layout, state, KlcHeader{}, problems);
}

void BM_KlcWrite(benchmark::State& s) {
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  std::vector<std::string> problems;
  for (auto _ : s) {
    problems.clear();
    benchmark::DoNotOptimize(EncodeKlcText(WriteKlcText(*layout, state, KlcHeader{}, problems)).size());
  }
}
BENCHMARK(BM_KlcWrite)->Unit(benchmark::kMicrosecond);

void BM_KlcRead(benchmark::State& s) {
  ProcessState state;
  const std::vector<uint8_t> bytes = EncodeKlcText(UsText(state));
  auto layout = std::make_unique<KeyboardLayout>();
  for (auto _ : s) {
    KlcHeader header;
    std::vector<KlcProblem> problems;
    ParseKlc(DecodeKlcText(bytes), *layout, state, header, problems);
    benchmark::DoNotOptimize(problems.size());
  }
}
BENCHMARK(BM_KlcRead)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tastora
