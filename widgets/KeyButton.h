#pragma once
// A push button that shows its text (16-bit characters) in a font of the
// owner's choosing, as a key cap: the layout font shows key characters that
// the dialog font may lack.

#include <windows.h>

#include <string>

namespace tastora::widgets {

class KeyButton {
 public:
  HWND Create(HWND parent, int id);
  HWND Handle() const { return window_; }
  void SetText(const std::wstring& text);
  // The font stays the caller's; it must outlive its use here.
  void SetFont(HFONT font);
  // WM_DRAWITEM of the parent: true when it was this button's.
  bool Draw(const DRAWITEMSTRUCT& item) const;

 private:
  HWND window_ = nullptr;
  std::wstring text_;
  HFONT font_ = nullptr;
};

}  // namespace tastora::widgets
