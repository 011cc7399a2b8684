#include "app/cli/TerminalDialogs.h"

#include <cstring>
#include <string>

namespace tastora {

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool StandardOutputWritten() { return std::fflush(stdout) == 0 && !std::ferror(stdout); }

void TerminalDialogs::ShowMessage(std::string_view text) {
  // The system shows its errors in plain boxes as often as in error boxes.
  std::fprintf(err_, "%s\n", TerminalText(text).c_str());
}

void TerminalDialogs::ShowWarning(std::string_view text) {
  std::fprintf(err_, "warning: %s\n", TerminalText(text).c_str());
}

void TerminalDialogs::ShowError(std::string_view text, std::string_view caption) {
  const std::string body = TerminalText(text);
  if (caption.empty())
    std::fprintf(err_, "error: %s\n", body.c_str());
  else
    std::fprintf(err_, "%.*s: %s\n", static_cast<int>(caption.size()), caption.data(), body.c_str());
}

bool TerminalDialogs::AskYesNo(std::string_view text) {
  std::fprintf(out_, "%s [y/n] ", TerminalText(text).c_str());
  if (presetAnswer_) {
    std::fprintf(out_, "%s\n", *presetAnswer_ ? "y" : "n");
    return *presetAnswer_;
  }
  std::fflush(out_);
  char line[64];
  if (!std::fgets(line, sizeof line, stdin)) return false;
  return line[0] == 'y' || line[0] == 'Y';
}

}  // namespace tastora
