#include "app/win32/CatalogueRow.h"

#include "app/win32/Dpi.h"
#include "platform/win32/WideText.h"

namespace tastora::gui {
namespace {

constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kBlack = RGB(0, 0, 0);

void Fill(HDC dc, const RECT& area, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
}

void Text(HDC dc, int x, int y, const std::wstring& text) {
  TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void DrawTagBox(HDC dc, const RECT& cell, const LayoutEntry& entry, bool selected, int dpi, HFONT font) {
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  // The row's colours the other way round.
  const COLORREF back = selected ? window : kNavy;
  const COLORREF fore = selected ? kNavy : window;
  const RECT box{cell.left + Scale(5, dpi), cell.top + Scale(2, dpi), cell.left + Scale(22, dpi),
                 cell.top + Scale(18, dpi)};
  Fill(dc, box, back);
  SelectObject(dc, font);
  SetTextColor(dc, fore);
  const std::wstring tag = Widen(entry.LanguageTag.View());
  const int inset = Scale(1, dpi);
  ExtTextOutW(dc, box.left + inset, box.top + inset, ETO_CLIPPED, &box, tag.c_str(), static_cast<UINT>(tag.size()),
              nullptr);
}

}  // namespace

void DrawCatalogueRow(HDC dc, const RECT& cell, const LayoutEntry& entry, bool selected, int dpi,
                      const CatalogueRowFonts& fonts) {
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  const COLORREF back = selected ? kNavy : window;
  RECT top = cell;
  top.bottom = cell.top + Scale(16, dpi);
  Fill(dc, top, back);
  // Below the filled part the list's own background.
  RECT rest = cell;
  rest.top = top.bottom;
  if (rest.top < rest.bottom) Fill(dc, rest, window);

  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, fonts.text);
  SetTextColor(dc, selected ? window : kBlack);
  const int y = cell.top + Scale(3, dpi);
  Text(dc, cell.left + Scale(24, dpi), y, Widen(entry.LocaleName.View()));
  const std::wstring layoutText = Widen(entry.LayoutText.View());
  SetTextAlign(dc, TA_RIGHT | TA_TOP);
  Text(dc, cell.right - Scale(2, dpi), y, layoutText);
  SetTextAlign(dc, TA_LEFT | TA_TOP);
  DrawTagBox(dc, cell, entry, selected, dpi, fonts.tag);
}

}  // namespace tastora::gui
