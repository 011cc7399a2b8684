// The registry of a Windows root as `tastora list` reads it: the files read
// once, then the catalogue built from the preload list and the registrations.
// Counters give the time per catalogue entry, and per value of a long key.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "model/ProcessState.h"
#include "platform/PlatformFactory.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/WineRegistryFile.h"
#include "system/Locales.h"
#include "system/RegistryEnhanced.h"
#include "tests/TestFiles.h"
#include "tests/TestPorts.h"

namespace tastora {
namespace {
namespace fs = std::filesystem;

std::string Hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// A 64-bit Windows 10 root with `registrations` layouts registered and
// `preloads` entries in the user's list (each naming one of them).
struct ListRoot {
  ListRoot(int registrations, int preloads) {
    std::string error;
    IconvCodePages codePages;
    testing::RecordingDialogs dialogs;
    if (!CreateWindowsRoot(Path(), RootWindows::Windows10, error)) return;
    auto system = OpenSystem(Path(), codePages, dialogs, error);
    if (!system) return;
    RegistryWrites writes(*system->registry);
    TRegistryEnhanced machine(*system->registry, RootKey::hkLocalMachine);
    TRegistryEnhanced user(*system->registry, RootKey::hkCurrentUser);
    ok = true;
    for (int i = 0; i < registrations; ++i) {
      const std::string klid = Hex8(0xa0000000u + uint32_t(i));
      machine.SetKey(std::string(kLayoutsKey) + "\\" + klid);
      ok = ok && machine.WriteValue("Layout File", "KBD" + std::to_string(i) + ".dll") &&
           machine.WriteValue("Layout Text", "Layout " + std::to_string(i)) &&
           machine.WriteValue("Layout Id", Hex8(uint32_t(i)).substr(4));
    }
    user.SetKey(kPreloadKey);
    for (int i = 0; i < preloads; ++i)
      ok = ok && user.WriteValue(std::to_string(i + 1), Hex8(0xa0000000u + uint32_t(i % registrations)));
    ok = ok && writes.Commit();
  }
  std::string Path() const { return (dir.path / "root").string(); }

  testing::TempDir dir{"tastora-bench"};
  bool ok = false;
};

// Such a root, opened as the program opens it; no system when it could not be made.
struct OpenedListRoot {
  OpenedListRoot(int registrations, int preloads) : root(registrations, preloads) {
    std::string error;
    if (root.ok) system = OpenSystem(root.Path(), codePages, dialogs, error);
  }
  ListRoot root;
  IconvCodePages codePages;
  testing::RecordingDialogs dialogs;
  std::optional<SystemPorts> system;
};

// The calls `tastora list` makes, without the printing.
int ListCatalogue(SystemPorts& system, Dialogs& dialogs) {
  ProcessState state;
  state.windowsVersion = system.session->Version();
  RegistryBackend& registry = *system.registry;
  TRegistryEnhanced currLayoutReg(registry, RootKey::hkCurrentUser);
  TRegistryEnhanced allLayoutsReg(registry, RootKey::hkLocalMachine);
  TRegistryEnhanced languageReg(registry, RootKey::hkLocalMachine);
  TRegistryEnhanced rfcReg(registry, RootKey::hkClassesRoot);
  auto locales = std::make_unique<TLocales>();
  if (state.IsNtPlatform()) locales->CreateNt(currLayoutReg, allLayoutsReg, rfcReg, dialogs);
  else locales->Create9x(currLayoutReg, allLayoutsReg, languageReg, dialogs);
  return locales->Count();
}

void SetPerEntry(benchmark::State& bench, int entries) {
  bench.counters["entries"] = entries;
  bench.counters["per_entry"] =
      benchmark::Counter(double(entries), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Opening the root (both files read) and listing, as one run of `tastora list`.
void BM_ListFromOpening(benchmark::State& bench) {
  ListRoot root(int(bench.range(0)), int(bench.range(1)));
  if (!root.ok) {
    bench.SkipWithError("no Windows root");
    return;
  }
  IconvCodePages codePages;
  int entries = 0;
  for (auto _ : bench) {
    testing::RecordingDialogs dialogs;
    std::string error;
    auto system = OpenSystem(root.Path(), codePages, dialogs, error);
    if (!system) {
      bench.SkipWithError(error.c_str());
      return;
    }
    entries = ListCatalogue(*system, dialogs);
    benchmark::DoNotOptimize(entries);
  }
  SetPerEntry(bench, entries);
}
BENCHMARK(BM_ListFromOpening)->Args({1000, 1000})->Args({10, 30000})->Unit(benchmark::kMillisecond);

// The catalogue alone, on a root already open: what the registry costs per entry.
void BM_ListOpenRoot(benchmark::State& bench) {
  OpenedListRoot opened(int(bench.range(0)), int(bench.range(1)));
  if (!opened.system) {
    bench.SkipWithError("no Windows root");
    return;
  }
  SystemPorts& system = *opened.system;
  testing::RecordingDialogs dialogs;
  int entries = 0;
  for (auto _ : bench) {
    entries = ListCatalogue(system, dialogs);
    benchmark::DoNotOptimize(entries);
  }
  SetPerEntry(bench, entries);
}
BENCHMARK(BM_ListOpenRoot)->Args({1000, 1000})->Args({10, 30000})->Unit(benchmark::kMicrosecond);

// The registry writes of a new layout (registration and preload entry) on
// that root: each change written at once, or held for the end of the action.
void BM_RegisterLayout(benchmark::State& bench) {
  OpenedListRoot opened(1000, 1000);
  if (!opened.system) {
    bench.SkipWithError("no Windows root");
    return;
  }
  RegistryBackend& registry = *opened.system->registry;
  uint32_t next = 0;
  for (auto _ : bench) {
    std::optional<RegistryWrites> writes;
    if (bench.range(0)) writes.emplace(registry);
    const std::string klid = Hex8(0xb0000000u + next++);
    TRegistryEnhanced machine(registry, RootKey::hkLocalMachine);
    machine.SetKey(std::string(kLayoutsKey) + "\\" + klid);
    bool ok = machine.WriteValue("Layout File", std::string("KBD9.dll")) &&
              machine.WriteValue("Layout Text", std::string("Mine")) && machine.WriteValue("Layout Id", std::string("00ff"));
    TRegistryEnhanced user(registry, RootKey::hkCurrentUser);
    user.SetKey(kPreloadKey);
    ok = ok && user.WriteValue("2", klid);
    if (writes) ok = ok && writes->Commit();
    if (!ok) {
      bench.SkipWithError("not written");
      return;
    }
  }
}
BENCHMARK(BM_RegisterLayout)->ArgName("held")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One key with n values: a value must cost about the same however many there are.
void BM_ParseLongKey(benchmark::State& bench) {
  std::string text = WineRegistryFile::EmptyText("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", true);
  text += "\n[Keyboard Layout\\\\Preload] 1700000000\n#time=1d9f0e0a0b0c0d0\n";
  for (int64_t i = 1; i <= bench.range(0); ++i)
    text += "\"" + std::to_string(i) + "\"=\"" + Hex8(uint32_t(i)) + "\"\n";
  for (auto _ : bench) {
    WineRegistryFile::Error error;
    auto file = WineRegistryFile::Parse(text, error);
    if (!file) {
      bench.SkipWithError(error.reason.c_str());
      return;
    }
    benchmark::DoNotOptimize(file);
  }
  bench.counters["per_value"] = benchmark::Counter(double(bench.range(0)), benchmark::Counter::kIsIterationInvariantRate |
                                                                             benchmark::Counter::kInvert);
}
BENCHMARK(BM_ParseLongKey)->RangeMultiplier(4)->Range(1 << 9, 1 << 15)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tastora
