#include "widgets/KeyButton.h"

namespace tastora::widgets {

HWND KeyButton::Create(HWND parent, int id) {
  window_ = CreateWindowExW(0, L"BUTTON", L"", BS_OWNERDRAW | WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  return window_;
}

void KeyButton::SetText(const std::wstring& text) {
  text_ = text;
  // The window text too, so that others can read what the key shows.
  if (window_) {
    SetWindowTextW(window_, text_.c_str());
    InvalidateRect(window_, nullptr, TRUE);
  }
}

void KeyButton::SetFont(HFONT font) {
  font_ = font;
  if (window_) InvalidateRect(window_, nullptr, TRUE);
}

bool KeyButton::Draw(const DRAWITEMSTRUCT& item) const {
  if (item.hwndItem != window_ || !window_) return false;
  RECT cell = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  DrawFrameControl(item.hDC, &cell, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  const int saved = SaveDC(item.hDC);
  if (font_) SelectObject(item.hDC, font_);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  RECT text = cell;
  if (pushed) OffsetRect(&text, 1, 1);
  DrawTextW(item.hDC, text_.c_str(), static_cast<int>(text_.size()), &text,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  RestoreDC(item.hDC, saved);
  if (item.itemState & ODS_FOCUS) {
    InflateRect(&cell, -3, -3);
    DrawFocusRect(item.hDC, &cell);
  }
  return true;
}

}  // namespace tastora::widgets
