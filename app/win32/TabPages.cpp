#include "app/win32/TabPages.h"

#include <commctrl.h>

namespace tastora::gui {
namespace {

constexpr wchar_t kPreviousProcedure[] = L"TastoraTabProcedure";

LRESULT CALLBACK TabProcedure(HWND tabs, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto previous = reinterpret_cast<WNDPROC>(GetPropW(tabs, kPreviousProcedure));
  const LRESULT result = CallWindowProcW(previous, tabs, message, wParam, lParam);
  if (message == TCM_SETCURSEL) PostMessageW(GetParent(tabs), kTabSelected, 0, 0);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(tabs, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropW(tabs, kPreviousProcedure);
  }
  return result;
}

}  // namespace

void WatchTabSelection(HWND tabs) {
  const LONG_PTR previous = GetWindowLongPtrW(tabs, GWLP_WNDPROC);
  SetPropW(tabs, kPreviousProcedure, reinterpret_cast<HANDLE>(previous));
  SetWindowLongPtrW(tabs, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TabProcedure));
}

COLORREF TabPageColour(HWND tabs) {
  const COLORREF fallback = GetSysColor(COLOR_BTNFACE);
  RECT client{};
  if (!GetClientRect(tabs, &client) || client.right <= 0 || client.bottom <= 0) return fallback;
  RECT page = client;
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  if (page.right <= page.left || page.bottom <= page.top) return fallback;
  HDC screen = GetDC(tabs);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  ReleaseDC(tabs, screen);
  COLORREF colour = fallback;
  if (memory && bitmap) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    SendMessageW(tabs, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
    const COLORREF sampled = GetPixel(memory, (page.left + page.right) / 2, (page.top + page.bottom) / 2);
    if (sampled != CLR_INVALID) colour = sampled;
    SelectObject(memory, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  return colour;
}

}  // namespace tastora::gui
