#include "app/cli/CommandOutput.h"

#include <cstdio>
#include <span>

#include "app/ExitStatus.h"
#include "app/cli/TerminalDialogs.h"
#include "platform/PlatformFactory.h"

namespace tastora {

int WriteCommandOutput(const char* command, std::string_view text, const std::string& path) {
  if (path.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return StandardOutputWritten() ? kExitOk : kExitFailure;
  }
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (MakeFileWriter()->WriteWhole(path, bytes) != FileWriter::Outcome::Written) {
    std::fprintf(stderr, "tastora %s: could not write %s\n", command, path.c_str());
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace tastora
