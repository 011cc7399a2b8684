#include "app/ExportLayout.h"

#include <memory>
#include <string_view>

#include "datafile/LayoutDataFile.h"
#include "datafile/MarkupExport.h"
#include "datafile/MessagesAboutFile.h"
#include "kbdfile/KbdFile.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/Platform.h"
#include "reader/LayoutLibraryReader.h"

namespace tastora {
namespace {

// Passes messages on and remembers whether any of them reported a failure:
// a reader that had to say something about the file did not read all of it.
class FailureWatch final : public Dialogs {
 public:
  explicit FailureWatch(Dialogs& inner) : inner_(inner) {}
  void ShowMessage(std::string_view text) override { Note(text), inner_.ShowMessage(text); }
  void ShowWarning(std::string_view text) override { Note(text), inner_.ShowWarning(text); }
  void ShowError(std::string_view text, std::string_view caption) override {
    failed = true;
    inner_.ShowError(text, caption);
  }
  bool AskYesNo(std::string_view text) override { return inner_.AskYesNo(text); }
  bool failed = false;

 private:
  // Dropped scan codes beyond the layout's capacity leave a usable layout.
  void Note(std::string_view text) {
    if (text != "Too many scancodes!") failed = true;
  }
  Dialogs& inner_;
};

bool IsLayoutLibrary(const std::string& path, FileSystem& files) {
  const auto head = files.ReadFile(path, 2, false);
  return head && head->size() == 2 && (*head)[0] == 'M' && (*head)[1] == 'Z';
}

// Far more than a layout file's 16-bit offsets can reach.
constexpr size_t kKbdExportLimit = 1u << 20;

// The whole file when it is a layout file of the older family.
std::optional<std::vector<uint8_t>> KbdFileBytes(const std::string& path, FileSystem& files) {
  const auto head = files.ReadFile(path, 2, false);
  if (!head || !IsKbdFile(*head)) return std::nullopt;
  return files.ReadFile(path, kKbdExportLimit, false);
}

}  // namespace

std::string LayoutNameOfPath(const std::string& path) {
  const size_t slash = path.find_last_of("/\\:");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

std::optional<std::string> ExportLayoutFile(const std::string& path, ProcessState& state,
                                            const LayoutSourcePorts& ports) {
  auto layout = std::make_unique<KeyboardLayout>();
  Clear(*layout, state);
  MessagesAboutFile aboutFile(ports.dialogs, path);
  FailureWatch watch(aboutFile);
  if (IsLayoutLibrary(path, ports.files)) {
    ReadLayoutLibrary(path, *layout, state, LayoutReaderPorts{ports.files, ports.loader, watch});
    if (watch.failed) return std::nullopt;
  } else if (const auto kbd = KbdFileBytes(path, ports.files)) {
    // The reader goes on past a damaged part and says so; the export does not.
    if (!ReadKbdImage(*kbd, *layout, state, watch) || watch.failed) return std::nullopt;
  } else if (!ImportLayoutFile(path, *layout, state, DataFilePorts{ports.files, ports.dialogs, ports.codePages})) {
    return std::nullopt;
  }
  return JoinMarkupLines(ExportLayoutMarkup(*layout, state, LayoutNameOfPath(path)));
}

std::string ExportDefaultLayout(ProcessState& state) {
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  // The VKs with the flags Windows' own US library gives them (Num Enter is
  // the extended VK_RETURN), as a layout read from it has them: else Enter
  // and Num Enter share a VK, and installing the file reports them as such.
  for (int n = 1; n <= kKeyCount; ++n) {
    KeyRecord& key = layout->Key(n);
    const uint16_t expected = KeyRow(n).expectedVk;
    if (expected != 0 && (expected & 0xFF) == (key.vk & 0xFF)) key.vk = expected;
  }
  return JoinMarkupLines(ExportLayoutMarkup(*layout, state, "US"));
}

}  // namespace tastora
