#include "app/ExportLayout.h"

#include <memory>

#include "datafile/MarkupExport.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/Platform.h"

namespace tastora {

std::string LayoutNameOfPath(const std::string& path) {
  const size_t slash = path.find_last_of("/\\:");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

std::optional<std::string> ExportLayoutFile(const std::string& path, ProcessState& state, const DataFilePorts& ports) {
  auto layout = std::make_unique<KeyboardLayout>();
  Clear(*layout, state);
  if (!ImportLayoutFile(path, *layout, state, ports)) return std::nullopt;
  return JoinMarkupLines(ExportLayoutMarkup(*layout, state, LayoutNameOfPath(path)));
}

std::string ExportDefaultLayout(ProcessState& state) {
  auto layout = std::make_unique<KeyboardLayout>();
  ResetToDefault(*layout, state);
  return JoinMarkupLines(ExportLayoutMarkup(*layout, state, "US"));
}

}  // namespace tastora
