#include "app/LayoutFileImport.h"

#include <memory>

#include "klcfile/KlcFile.h"
#include "klcfile/KlcText.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/Platform.h"

namespace tastora {
namespace {

// Enough for the blank and comment lines a file may start with.
constexpr size_t kKlcHeadSize = 4096;

}  // namespace

bool IsKlcLayoutFile(const std::string& path, FileSystem& files) {
  const auto head = files.ReadFile(path, kKlcHeadSize, false);
  return head && IsKlcFile(*head);
}

bool ImportUserLayoutFile(const std::string& path, KeyboardLayout& layout, ProcessState& state,
                          const DataFilePorts& ports, KlcHeader* header) {
  if (IsKlcLayoutFile(path, ports.files))
    return ImportKlcFile(path, layout, state, KlcReaderPorts{ports.files, ports.dialogs, ports.codePages}, header);
  return ImportLayoutFile(path, layout, state, ports);
}

std::optional<LanguageAndName> LanguageAndNameOfFile(const std::string& path, FileSystem& files, std::string& error) {
  const auto bytes = files.ReadFile(path, kKlcReadLimit, false);
  if (!bytes || !IsKlcFile(*bytes)) {
    error = "the language and the name can be left out only for a .klc file, which gives them; " + path +
            " is not one";
    return std::nullopt;
  }
  // Only the header is wanted here; the install reads the file again and reports what it cannot carry.
  auto layout = std::make_unique<KeyboardLayout>();
  auto state = std::make_unique<ProcessState>();
  KlcHeader header;
  std::vector<KlcProblem> problems;
  ParseKlc(DecodeKlcText(*bytes), *layout, *state, header, problems);
  const std::string name = klc::ToUtf8(header.LayoutName());
  const int32_t language = int32_t(header.localeId & 0xFFFF);
  if (language == 0 || name.empty()) {
    error = path + " gives no " + (language == 0 ? "LOCALEID" : "DESCRIPTIONS") + "; give LANG and NAME";
    return std::nullopt;
  }
  return LanguageAndName{language, name};
}

}  // namespace tastora
