// A whole install on a Windows root: the entry's library read, the data file
// imported, the duplicate check, both images written, the registration and
// the record in "loader.ini" updated.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "app/MainActions.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/PlatformFactory.h"
#include "platform/offline/IconvCodePages.h"
#include "system/RegistryEnhanced.h"
#include "tests/TestFiles.h"
#include "tests/TestPorts.h"
#include "writer/LayoutLibraryWriter.h"

namespace tastora {
namespace {
namespace fs = std::filesystem;

// A 64-bit Windows 10 root with the US layout registered, preloaded and written.
struct BenchRoot {
  BenchRoot() {
    std::string error;
    ok = CreateWindowsRoot(Path(), RootWindows::Windows10, error);
    IconvCodePages codePages;
    testing::RecordingDialogs dialogs;
    auto system = OpenSystem(Path(), codePages, dialogs, error);
    ok = ok && system;
    if (!ok) return;
    TRegistryEnhanced machine(*system->registry, RootKey::hkLocalMachine);
    machine.SetKey(std::string(kLayoutsKey) + "\\00000409");
    ok = machine.WriteValue("Layout File", std::string("kbdus.dll")) &&
         machine.WriteValue("Layout Text", std::string("US"));
    TRegistryEnhanced user(*system->registry, RootKey::hkCurrentUser);
    user.SetKey(kPreloadKey);
    ok = ok && user.WriteValue("1", std::string("00000409"));

    ProcessState state;
    auto layout = std::make_unique<KeyboardLayout>();
    ResetToDefault(*layout, state);
    auto writer = MakeFileWriter();
    const fs::path windows = dir.path / "root" / "drive_c" / "windows";
    const LibraryWriterPorts ports{*writer, dialogs};
    ok = ok &&
         WriteLayoutLibrary32((windows / "syswow64" / "kbdus.dll").string(), *layout, state, ports) ==
             LibraryWriteResult::Written &&
         WriteLayoutLibrary64((windows / "system32" / "kbdus.dll").string(), *layout, state, ports) ==
             LibraryWriteResult::Written;
  }
  std::string Path() const { return (dir.path / "root").string(); }

  testing::TempDir dir{"tastora-bench"};
  bool ok = false;
};

void BM_InstallOverSystemLayout(benchmark::State& bench) {
  BenchRoot root;
  IconvCodePages codePages;
  testing::RecordingDialogs dialogs;
  std::string error;
  auto system = OpenSystem(root.Path(), codePages, dialogs, error);
  if (!root.ok || !system) {
    bench.SkipWithError("no Windows root");
    return;
  }
  auto state = std::make_unique<ProcessState>();
  MainActions actions(*system, codePages, dialogs, *state);
  actions.Start();
  const std::string dataFile = std::string(TASTORA_SOURCE_DIR) + "/examples/tastora-demo.vyr2000";
  TRegistryEnhanced machine(*system->registry, RootKey::hkLocalMachine);
  machine.SetKey(std::string(kLayoutsKey) + "\\00000409");
  const fs::path windows = root.dir.path / "root" / "drive_c" / "windows";
  const fs::path loaderIni = windows / "loader.ini";
  for (auto _ : bench) {
    // Each round replaces the system layout anew, so that it is recorded again.
    bench.PauseTiming();
    (void)machine.WriteValue("Layout File", std::string("kbdus.dll"));
    // ... and its copies go with the record, as a system never installed onto.
    std::error_code ec;
    fs::remove(loaderIni, ec);
    for (const char* folder : {"syswow64", "system32"}) fs::remove(windows / folder / "l_kbdus.dll", ec);
    actions.BuildCatalogue();
    dialogs.messages.clear();
    bench.ResumeTiming();
    if (actions.Edit(0, dataFile) != InstallResult::Installed) {
      const std::string why = "the install failed" + (dialogs.messages.empty() ? "" : ": " + dialogs.messages.back());
      bench.SkipWithError(why.c_str());
      break;
    }
  }
}
BENCHMARK(BM_InstallOverSystemLayout)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tastora
