#pragma once
// A list whose rows the owner draws: a list box, or a drop-down list
// (combo box). Rows carry a number of the owner's (their data); the height
// of a row is given at 96 DPI and follows the window's DPI.

#include <windows.h>

#include <functional>

namespace tastora::widgets {

class OwnerDrawList {
 public:
  enum class Kind { List, DropDown };
  // Draws one row (its data) into `cell`: background and text.
  using DrawRow = std::function<void(HDC dc, const RECT& cell, LPARAM data, bool selected)>;

  HWND Create(HWND parent, int id, Kind kind, int rowHeight, DWORD extraStyle = 0);
  void SetDrawRow(DrawRow draw) { draw_ = std::move(draw); }
  HWND Handle() const { return window_; }

  // Sets the row height for the DPI.
  void SetDpi(int dpi);
  int RowHeight() const { return MulDiv(rowHeight_, dpi_, 96); }

  // Rows 0 to count - 1, each with its position as data.
  void SetCount(int count);
  int Add(LPARAM data);
  void Clear();
  int Count() const;
  LPARAM Data(int row) const;
  // The selected row, or -1.
  int Selection() const;
  void Select(int row);
  void RepaintRow(int row);

  // WM_MEASUREITEM and WM_DRAWITEM of the parent: true when they were this list's.
  bool Measure(MEASUREITEMSTRUCT& item) const;
  bool Draw(const DRAWITEMSTRUCT& item) const;

 private:
  UINT Message(UINT listMessage, UINT comboMessage) const { return kind_ == Kind::List ? listMessage : comboMessage; }

  HWND window_ = nullptr;
  Kind kind_ = Kind::List;
  int id_ = 0;
  int rowHeight_ = 16;
  int dpi_ = 96;
  DrawRow draw_;
};

}  // namespace tastora::widgets
