#pragma once
// The tab control of a window whose pages are its own controls, shown and
// hidden by the page.

#include <windows.h>

namespace tastora::gui {

// Posted to the tab control's parent when a page was chosen by
// TCM_SETCURSEL, which sends no TCN_SELCHANGE: the page shown then follows.
inline constexpr UINT kTabSelected = WM_APP + 2;
void WatchTabSelection(HWND tabs);

// The colour the tab control paints its page with: white when themed,
// the window's grey when not, whatever a theme chose otherwise. Labels and
// boxes on a page paint their background with it, or each shows a patch.
// Read from the control's own painting, as no setting tells it reliably.
COLORREF TabPageColour(HWND tabs);

}  // namespace tastora::gui
