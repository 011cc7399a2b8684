#pragma once
// Message boxes of a terminal program. Every message (a notice, a warning, an
// error) goes to the error stream, so that the output stream holds only what
// a command reports as its result; a Yes/No question is asked on the output
// stream and answered by --yes/--no or, failing that, on the terminal.

#include <cstdio>
#include <optional>

#include "platform/Platform.h"

namespace tastora {

class TerminalDialogs final : public Dialogs {
 public:
  TerminalDialogs(std::FILE* out, std::FILE* err, std::optional<bool> presetAnswer)
      : out_(out), err_(err), presetAnswer_(presetAnswer) {}

  void ShowMessage(std::string_view text) override;
  void ShowWarning(std::string_view text) override;
  void ShowError(std::string_view text, std::string_view caption) override;
  bool AskYesNo(std::string_view text) override;

 private:
  std::FILE* out_;
  std::FILE* err_;
  std::optional<bool> presetAnswer_;
};

// A message box text for a terminal: carriage returns become line breaks.
std::string TerminalText(std::string_view text);

// Flushes the standard output: true when everything printed to it so far was
// written (a write that failed earlier leaves nothing to flush, but counts).
bool StandardOutputWritten();

}  // namespace tastora
