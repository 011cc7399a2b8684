#include <benchmark/benchmark.h>

#include <memory>

#include "model/FontScripts.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/offline/IconvCodePages.h"

namespace tastora {
namespace {

void BM_ResetToDefault(benchmark::State& s) {
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  for (auto _ : s) {
    ResetToDefault(*layout, state);
    benchmark::DoNotOptimize(layout->keys[0].chars[0]);
  }
}
BENCHMARK(BM_ResetToDefault);

void BM_WidenLayout(benchmark::State& s) {
  ProcessState state;
  IconvCodePages pages;
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  for (auto _ : s) {
    WidenLayout(*layout, false, 204, pages);
    benchmark::DoNotOptimize(layout->keys[0].chars[0]);
  }
}
BENCHMARK(BM_WidenLayout);

}  // namespace
}  // namespace tastora
