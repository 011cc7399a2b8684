#include "app/AnyLayoutFile.h"

#include <optional>
#include <string_view>
#include <vector>

#include "app/LayoutFileImport.h"
#include "datafile/MessagesAboutFile.h"
#include "kbdfile/KbdFile.h"
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
constexpr size_t kKbdFileLimit = 1u << 20;

// The whole file when it is a layout file of the older family.
std::optional<std::vector<uint8_t>> KbdFileBytes(const std::string& path, FileSystem& files) {
  const auto head = files.ReadFile(path, 2, false);
  if (!head || !IsKbdFile(*head)) return std::nullopt;
  return files.ReadFile(path, kKbdFileLimit, false);
}

}  // namespace

bool ReadAnyLayoutFile(const std::string& path, KeyboardLayout& layout, ProcessState& state,
                       const LayoutSourcePorts& ports, KlcHeader* header) {
  Clear(layout, state);
  MessagesAboutFile aboutFile(ports.dialogs, path);
  FailureWatch watch(aboutFile);
  if (IsLayoutLibrary(path, ports.files)) {
    ReadLayoutLibrary(path, layout, state, LayoutReaderPorts{ports.files, ports.loader, watch});
    return !watch.failed;
  }
  if (const auto kbd = KbdFileBytes(path, ports.files)) {
    // The reader goes on past a damaged part and says so; a caller wants the whole layout.
    return ReadKbdImage(*kbd, layout, state, watch) && !watch.failed;
  }
  return ImportUserLayoutFile(path, layout, state, DataFilePorts{ports.files, ports.dialogs, ports.codePages}, header);
}

}  // namespace tastora
