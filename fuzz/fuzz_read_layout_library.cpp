// Feeds arbitrary bytes to the layout library reader as a library file: once
// through the offline PE loader, once through the file walk (loading made to
// fail), and once as an older system would read it.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/offline/PeImageLoader.h"
#include "reader/LayoutLibraryReader.h"
#include "tests/TestPorts.h"

namespace {

class FailingLoader final : public tastora::LibraryLoader {
 public:
  std::optional<tastora::LibraryHandle> Load(const std::string&) override { return std::nullopt; }
  std::optional<uint64_t> FindExport(tastora::LibraryHandle, const std::string&) override { return std::nullopt; }
  std::optional<uint64_t> CallDescriptor(tastora::LibraryHandle, uint64_t) override { return std::nullopt; }
  bool ReadMemory(tastora::LibraryHandle, uint64_t, std::span<uint8_t>) override { return false; }
  void Unload(tastora::LibraryHandle) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tastora;
  static auto layout = std::make_unique<KeyboardLayout>();
  testing::MemoryFileSystem files;
  testing::RecordingDialogs dialogs;
  files.Put("layout.dll", std::vector<uint8_t>(data, data + size));
  PeImageLoader offline(files);
  FailingLoader failing;
  struct Road {
    LibraryLoader& loader;
    uint32_t major;
  };
  for (const Road& road : {Road{offline, 10}, Road{failing, 10}, Road{offline, 5}}) {
    ProcessState state;
    state.windowsVersion.major = road.major;
    Clear(*layout, state);
    ReadLayoutLibrary("layout.dll", *layout, state, {files, road.loader, dialogs});
  }
  return 0;
}
