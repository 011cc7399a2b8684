#pragma once
// TfError1, the duplicate-key report: two keys of the layout that share a
// virtual key, shown with their characters in the layout font, and the
// question whether to go on.

#include <windows.h>

#include <array>

#include "app/Settings.h"
#include "app/win32/Form.h"
#include "model/CodePages.h"
#include "platform/Platform.h"
#include "widgets/KeyButton.h"

namespace tastora::gui {

class DuplicateKeyDialog {
 public:
  DuplicateKeyDialog(const DuplicateKeyPair& pair, const LayoutFont& font, CodePages& codePages);
  ~DuplicateKeyDialog();
  DuplicateKeyDialog(const DuplicateKeyDialog&) = delete;
  DuplicateKeyDialog& operator=(const DuplicateKeyDialog&) = delete;

  // Shows the report modally over `owner`; true only when Yes was pressed.
  bool Show(HWND owner);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  Form form;

 private:
  void CreateControls();
  void FillKeys();
  void UpdateFonts();
  std::wstring KeyText(uint16_t ch) const;
  void Answer(bool yes);

  const DuplicateKeyPair& pair_;
  const LayoutFont& font_;
  CodePages& codePages_;
  std::array<widgets::KeyButton, 4> keys_;
  HFONT keyFont_ = nullptr;
  bool yes_ = false;
  bool done_ = false;
};

}  // namespace tastora::gui
