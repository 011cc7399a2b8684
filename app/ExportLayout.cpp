#include "app/ExportLayout.h"

#include <memory>
#include <vector>

#include "app/LayoutFileImport.h"
#include "datafile/MarkupExport.h"
#include "klcfile/KlcFile.h"
#include "klcfile/KlcText.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/Platform.h"
#include "system/LanguageTags.h"

namespace tastora {
namespace {

// The US layout as a layout read from Windows' own library has it.
void DefaultLayout(KeyboardLayout& layout, ProcessState& state) {
  ResetToDefault(layout, state);
  // The VKs with the flags Windows' own US library gives them (Num Enter is
  // the extended VK_RETURN), as a layout read from it has them: else Enter
  // and Num Enter share a VK, and installing the file reports them as such.
  for (int n = 1; n <= kKeyCount; ++n) {
    KeyRecord& key = layout.Key(n);
    const uint16_t expected = KeyRow(n).expectedVk;
    if (expected != 0 && (expected & 0xFF) == (key.vk & 0xFF)) key.vk = expected;
  }
}

bool EndsWithKlc(const std::string& path) { return IsKlcFileName(path); }

// A ".klc" header for a layout from elsewhere: the creator wants a short
// plain name, and a locale.
void FillHeader(KlcHeader& header, const KeyboardLayout& layout, const std::string& layoutName) {
  constexpr size_t kMaxName = 8;
  std::string name;
  for (char c : layoutName)
    if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) && name.size() < kMaxName)
      name += c;
  header.name = klc::FromUtf8(name.empty() ? "layout" : name);
  header.description = klc::FromUtf8(layoutName);
  header.localeId = layout.lcid != 0 ? layout.lcid : 0x0409;
  header.localeName = klc::FromUtf8(LanguageTagOf(uint16_t(header.localeId), nullptr));
}

std::optional<std::string> KlcBytes(const KeyboardLayout& layout, const ProcessState& state, const KlcHeader& header,
                                    const std::string& what, Dialogs& dialogs) {
  std::vector<std::string> problems;
  const std::u16string text = WriteKlcText(layout, state, header, problems);
  if (!problems.empty()) {
    std::vector<KlcProblem> listed;
    for (std::string& p : problems) listed.push_back({0, std::move(p)});
    if (!dialogs.AskYesNo(what + " holds what a .klc file cannot:\r" + DescribeKlcProblems(listed) +
                          "Write the rest of it?"))
      return std::nullopt;
  }
  const std::vector<uint8_t> bytes = EncodeKlcText(text);
  return std::string(bytes.begin(), bytes.end());
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
  if (!ReadAnyLayoutFile(path, *layout, state, ports)) return std::nullopt;
  return JoinMarkupLines(ExportLayoutMarkup(*layout, state, LayoutNameOfPath(path)));
}

std::string ExportDefaultLayout(ProcessState& state) {
  auto layout = std::make_unique<KeyboardLayout>();
  DefaultLayout(*layout, state);
  return JoinMarkupLines(ExportLayoutMarkup(*layout, state, "US"));
}

std::optional<std::string> ExportLayoutAs(const std::string& path, const std::string& output, ProcessState& state,
                                          const LayoutSourcePorts& ports) {
  if (!EndsWithKlc(output)) return path.empty() ? ExportDefaultLayout(state) : ExportLayoutFile(path, state, ports);
  auto layout = std::make_unique<KeyboardLayout>();
  KlcHeader header;
  if (path.empty()) {
    DefaultLayout(*layout, state);
    FillHeader(header, *layout, "US");
  } else {
    if (!ReadAnyLayoutFile(path, *layout, state, ports, &header)) return std::nullopt;
    if (!IsKlcLayoutFile(path, ports.files)) FillHeader(header, *layout, LayoutNameOfPath(path));
  }
  return KlcBytes(*layout, state, header, path.empty() ? std::string("The US layout") : "The layout " + path,
                  ports.dialogs);
}

}  // namespace tastora
