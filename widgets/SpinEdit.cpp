#include "widgets/SpinEdit.h"

#include <commctrl.h>

#include <cwchar>

namespace tastora::widgets {

HWND SpinEdit::Create(HWND parent, int id, int arrowsId, int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const DWORD editStyle = ES_NUMBER | ES_AUTOHSCROLL | WS_CHILD | WS_VISIBLE | WS_TABSTOP;
  edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", editStyle, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  arrows_ = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                            UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS | WS_CHILD | WS_VISIBLE,
                            0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(arrowsId)), instance,
                            nullptr);
  SendMessageW(arrows_, UDM_SETRANGE32, static_cast<WPARAM>(minimum), static_cast<LPARAM>(maximum));
  Realign();
  return edit_;
}

int SpinEdit::Value() const {
  // The box's own text: typing does not move the arrows' position.
  wchar_t text[16] = {};
  GetWindowTextW(edit_, text, 16);
  int value = static_cast<int>(std::wcstol(text, nullptr, 10));
  if (value < minimum_) value = minimum_;
  if (value > maximum_) value = maximum_;
  return value;
}

void SpinEdit::SetValue(int value) {
  if (value < minimum_) value = minimum_;
  if (value > maximum_) value = maximum_;
  SendMessageW(arrows_, UDM_SETPOS32, 0, static_cast<LPARAM>(value));
  wchar_t text[16];
  std::swprintf(text, 16, L"%d", value);
  SetWindowTextW(edit_, text);
}

void SpinEdit::Show(bool visible) {
  ShowWindow(edit_, visible ? SW_SHOW : SW_HIDE);
  ShowWindow(arrows_, visible ? SW_SHOW : SW_HIDE);
}

void SpinEdit::Realign() {
  if (edit_ && arrows_) SendMessageW(arrows_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit_), 0);
}

}  // namespace tastora::widgets
