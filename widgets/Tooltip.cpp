#include "widgets/Tooltip.h"

#include <commctrl.h>

namespace tastora::widgets {

HWND CreateTooltip(HWND owner) {
  HWND tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  // A maximum width lets the text break at its line breaks.
  if (tooltip) SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 600);
  return tooltip;
}

void AddHint(HWND tooltip, HWND control, const wchar_t* text) {
  if (!tooltip || !control) return;
  TTTOOLINFOW tool{};
  // The size the common controls of every version accept (no manifest needed).
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace tastora::widgets
