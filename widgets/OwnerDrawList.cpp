#include "widgets/OwnerDrawList.h"

namespace tastora::widgets {

HWND OwnerDrawList::Create(HWND parent, int id, Kind kind, int rowHeight, DWORD extraStyle) {
  kind_ = kind;
  id_ = id;
  rowHeight_ = rowHeight;
  const DWORD style = kind == Kind::List
                          ? (LBS_OWNERDRAWFIXED | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER)
                          : (CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | WS_VSCROLL);
  window_ = CreateWindowExW(kind == Kind::List ? WS_EX_CLIENTEDGE : 0, kind == Kind::List ? L"LISTBOX" : L"COMBOBOX",
                            L"", style | extraStyle | WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  return window_;
}

void OwnerDrawList::SetDpi(int dpi) {
  dpi_ = dpi;
  if (!window_) return;
  const WPARAM height = static_cast<WPARAM>(RowHeight());
  if (kind_ == Kind::List) {
    SendMessageW(window_, LB_SETITEMHEIGHT, 0, static_cast<LPARAM>(height));
  } else {
    // The selection field (-1) and the rows of the drop-down.
    SendMessageW(window_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), static_cast<LPARAM>(height));
    SendMessageW(window_, CB_SETITEMHEIGHT, 0, static_cast<LPARAM>(height));
  }
  InvalidateRect(window_, nullptr, TRUE);
}

void OwnerDrawList::SetCount(int count) {
  const int selected = Selection();
  SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
  Clear();
  for (int i = 0; i < count; ++i) Add(i);
  if (selected >= 0 && selected < count) Select(selected);
  SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(window_, nullptr, TRUE);
}

int OwnerDrawList::Add(LPARAM data) {
  return static_cast<int>(SendMessageW(window_, Message(LB_ADDSTRING, CB_ADDSTRING), 0, data));
}

void OwnerDrawList::Clear() { SendMessageW(window_, Message(LB_RESETCONTENT, CB_RESETCONTENT), 0, 0); }

int OwnerDrawList::Count() const {
  return static_cast<int>(SendMessageW(window_, Message(LB_GETCOUNT, CB_GETCOUNT), 0, 0));
}

LPARAM OwnerDrawList::Data(int row) const {
  return SendMessageW(window_, Message(LB_GETITEMDATA, CB_GETITEMDATA), static_cast<WPARAM>(row), 0);
}

int OwnerDrawList::Selection() const {
  return static_cast<int>(SendMessageW(window_, Message(LB_GETCURSEL, CB_GETCURSEL), 0, 0));
}

void OwnerDrawList::Select(int row) {
  SendMessageW(window_, Message(LB_SETCURSEL, CB_SETCURSEL), static_cast<WPARAM>(row), 0);
}

void OwnerDrawList::RepaintRow(int row) {
  if (kind_ != Kind::List) {
    InvalidateRect(window_, nullptr, FALSE);
    return;
  }
  RECT cell{};
  if (SendMessageW(window_, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell)) != LB_ERR)
    InvalidateRect(window_, &cell, FALSE);
}

bool OwnerDrawList::Measure(MEASUREITEMSTRUCT& item) const {
  if (static_cast<int>(item.CtlID) != id_) return false;
  item.itemHeight = static_cast<UINT>(RowHeight());
  return true;
}

bool OwnerDrawList::Draw(const DRAWITEMSTRUCT& item) const {
  if (item.hwndItem != window_ || !window_) return false;
  const bool focused = (item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT);
  // A focus change alone only toggles the focus rectangle.
  if (item.itemAction == ODA_FOCUS || item.itemID == static_cast<UINT>(-1)) {
    if (item.itemAction == ODA_FOCUS || focused) DrawFocusRect(item.hDC, &item.rcItem);
    return true;
  }
  if (draw_) {
    const int saved = SaveDC(item.hDC);
    draw_(item.hDC, item.rcItem, item.itemData, (item.itemState & ODS_SELECTED) != 0);
    RestoreDC(item.hDC, saved);
  }
  if (focused) DrawFocusRect(item.hDC, &item.rcItem);
  return true;
}

}  // namespace tastora::widgets
