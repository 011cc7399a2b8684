#include <benchmark/benchmark.h>

#include <memory>

#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "picture/LayoutPicture.h"

namespace tastora {
namespace {

void BM_PictureUs(benchmark::State& s) {
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  for (auto _ : s) benchmark::DoNotOptimize(LayoutPicture(*layout, {"US", ""}, KeyboardShape::Ansi).size());
}
BENCHMARK(BM_PictureUs)->Unit(benchmark::kMicrosecond);

// Every keycap corner filled, 600 dead-key compositions and long ligatures.
void BM_PictureFull(benchmark::State& s) {
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  for (int n = 1; n <= 63; ++n)
    for (int slot : {0, 1, 6, 7}) layout->Key(n).chars[size_t(slot)] = static_cast<uint16_t>(0x100 + n * 16 + slot);
  layout->deadCount = 600;
  for (int i = 0; i < 600; ++i)
    layout->deadKeys[size_t(i)] = {static_cast<uint16_t>(0x300 + i % 20), static_cast<uint16_t>(0x41 + i),
                                   static_cast<uint16_t>(0x1E00 + i)};
  for (int n = 1; n <= 40; ++n) layout->ligatures[size_t(n)][0] = {20, {'a', 'b', 'c', 'd', 'e', 'f'}};
  for (auto _ : s) benchmark::DoNotOptimize(LayoutPicture(*layout, {"Full", "English"}, KeyboardShape::Iso).size());
}
BENCHMARK(BM_PictureFull)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tastora
