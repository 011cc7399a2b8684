// Reading a full-size layout library: through the offline PE loader and
// through the file walk.

#include <benchmark/benchmark.h>

#include <memory>

#include "model/Bytes.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/offline/PeImageLoader.h"
#include "reader/LayoutLibraryReader.h"
#include "tests/TestPorts.h"

namespace tastora {
namespace {

constexpr uint32_t kBase = 0x10000000;

// A PE32 layout library of a realistic size: every plain scan code, the
// usual 0xE0 codes, 48 character rows of five columns, 60 key names and 100
// dead-key entries. File offsets equal RVAs.
std::vector<uint8_t> BuildLibrary() {
  ByteWriter s;  // the one section, at RVA and file offset 0x1000
  uint32_t next = 0x200;
  auto va = [](uint32_t at) { return kBase + 0x1000 + at; };
  auto reserve = [&](uint32_t size) {
    const uint32_t at = next;
    next = (next + size + 15) & ~15u;
    s.Reserve(next);
    return at;
  };
  constexpr uint32_t kTables = 0x100;
  s.U8(0, 0xB8);
  s.U32(1, va(kTables));
  s.U8(5, 0xC3);
  s.U32(0x10 + 20, 1);
  s.U32(0x10 + 24, 1);
  s.U32(0x10 + 28, 0x1040);
  s.U32(0x10 + 32, 0x1044);
  s.U32(0x10 + 36, 0x1048);
  s.U32(0x40, 0x1000);
  s.U32(0x44, 0x1050);
  const std::string name = "KbdLayerDescriptor";
  s.Bytes(0x50, std::span(reinterpret_cast<const uint8_t*>(name.data()), name.size() + 1));

  const uint32_t mods = reserve(18);
  s.U16(mods + 8, 7);
  const uint8_t columns[8] = {0, 1, 2, 15, 15, 15, 3, 4};
  for (int m = 0; m < 8; ++m) s.U8(mods + 10 + m, columns[m]);
  s.U32(kTables + 0x00, va(mods));

  const uint32_t rows = reserve(49 * 12);
  for (uint32_t r = 0; r < 48; ++r) {
    const uint8_t vk = r < 26 ? uint8_t('A' + r) : r < 36 ? uint8_t('0' + r - 26) : uint8_t(0xBA + r - 36);
    s.U8(rows + r * 12, vk);
    s.U8(rows + r * 12 + 1, r < 26 ? 1 : 0);
    for (uint32_t c = 0; c < 5; ++c) s.U16(rows + r * 12 + 2 + c * 2, uint16_t(c == 2 ? 0xF000 : 0x61 + r + c));
  }
  const uint32_t list = reserve(32);
  s.U32(list, va(rows));
  s.U8(list + 8, 5);
  s.U8(list + 9, 12);
  s.U32(kTables + 0x08, va(list));

  const uint32_t dead = reserve(101 * 8);
  for (uint32_t i = 0; i < 100; ++i) {
    s.U16(dead + i * 8, uint16_t('a' + i % 26));
    s.U16(dead + i * 8 + 2, uint16_t(0xB4 + i / 26));
    s.U16(dead + i * 8 + 4, uint16_t(0xE0 + i));
  }
  s.U32(kTables + 0x10, va(dead));

  const uint32_t text = reserve(16);
  for (uint32_t i = 0; i < 8; ++i) s.U16(text + i * 2, uint16_t(i < 7 ? 'A' + i : 0));
  for (uint32_t field : {0x18u, 0x20u}) {
    const uint32_t names = reserve(61 * 16);
    for (uint32_t i = 0; i < 60; ++i) {
      s.U8(names + i * 16, uint8_t(i + 1));
      s.U32(names + i * 16 + 8, va(text));
    }
    s.U32(kTables + field, va(names));
  }

  const uint32_t scan = reserve(256);
  for (uint32_t i = 0; i < 128; ++i) s.U16(scan + i * 2, uint16_t(i < 0x59 ? 0x41 + i % 26 : 0xFF));
  s.U32(kTables + 0x30, va(scan));
  s.U8(kTables + 0x38, 128);
  const uint8_t e0[] = {0x10, 0x19, 0x1C, 0x1D, 0x20, 0x21, 0x22, 0x24, 0x2E, 0x30, 0x32, 0x35, 0x37, 0x38,
                        0x46, 0x47, 0x48, 0x49, 0x4B, 0x4D, 0x4F, 0x50, 0x51, 0x52, 0x53, 0x5B, 0x5C, 0x5D};
  const uint32_t e0At = reserve(uint32_t(sizeof e0 + 1) * 4);
  for (uint32_t i = 0; i < sizeof e0; ++i) {
    s.U8(e0At + i * 4, e0[i]);
    s.U16(e0At + i * 4 + 2, uint16_t(0x100 | e0[i]));
  }
  s.U32(kTables + 0x40, va(e0At));
  s.Reserve((next + 0xFFF) & ~0xFFFu);

  ByteWriter w(0x1000);
  w.U16(0, 0x5A4D);
  w.U32(0x3C, 0x80);
  w.U32(0x80, 0x4550);
  w.U16(0x84, 0x014C);
  w.U16(0x86, 1);
  w.U16(0x94, 0xE0);
  const size_t opt = 0x98;
  w.U16(opt, 0x10B);
  w.U32(opt + 28, kBase);
  w.U32(opt + 32, 0x1000);
  w.U32(opt + 36, 0x1000);
  w.U32(opt + 56, 0x1000 + uint32_t(s.size()));
  w.U32(opt + 60, 0x1000);
  w.U32(opt + 92, 16);
  w.U32(opt + 96, 0x1010);
  w.U32(opt + 100, 0x60);
  w.U32(opt + 0xE0 + 8, uint32_t(s.size()));
  w.U32(opt + 0xE0 + 12, 0x1000);
  w.U32(opt + 0xE0 + 16, uint32_t(s.size()));
  w.U32(opt + 0xE0 + 20, 0x1000);
  w.Bytes(0x1000, s.bytes());
  return w.Take();
}


void ReadLibrary(benchmark::State& s, bool load) {
  testing::MemoryFileSystem files;
  files.Put("layout.dll", BuildLibrary());
  PeImageLoader offline(files);
  testing::FailingLoader failing;
  testing::RecordingDialogs dialogs;
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  Clear(*layout, state);
  LibraryLoader& loader = load ? static_cast<LibraryLoader&>(offline) : failing;
  for (auto _ : s) {
    ReadLayoutLibrary("layout.dll", *layout, state, {files, loader, dialogs});
    benchmark::DoNotOptimize(layout->keys[26].chars[0]);
  }
  if (!dialogs.messages.empty() || layout->deadCount != 100 || state.keyNames.count != 60)
    s.SkipWithError("the library was not read as built");
}

void BM_ReadLayoutLibraryThroughLoader(benchmark::State& s) { ReadLibrary(s, true); }
void BM_ReadLayoutLibraryFromFileImage(benchmark::State& s) { ReadLibrary(s, false); }
BENCHMARK(BM_ReadLayoutLibraryThroughLoader)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadLayoutLibraryFromFileImage)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tastora
