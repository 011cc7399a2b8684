#pragma once
// The message boxes of the windowed program, and its own duplicate-key
// report window in place of a plain question.

#include "app/Settings.h"
#include "model/CodePages.h"
#include "platform/win32/Win32Dialogs.h"

namespace tastora::gui {

class GuiDialogs final : public Win32Dialogs {
 public:
  explicit GuiDialogs(CodePages& codePages) : Win32Dialogs("Tastora"), codePages_(codePages) {}

  // The font the report shows key characters in; the settings' own, so a
  // change of size shows at the next report.
  void SetLayoutFont(const LayoutFont* font) { font_ = font; }

  bool ShowDuplicateKeys(const DuplicateKeyPair& pair) override;

 private:
  CodePages& codePages_;
  const LayoutFont* font_ = nullptr;
};

}  // namespace tastora::gui
