#include "app/ExportLayout.h"

#include <memory>

#include "datafile/MarkupExport.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"

namespace tastora {

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
