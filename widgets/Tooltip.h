#pragma once
// Hints: a tooltip window that shows a text while the mouse rests on a
// control. A line break in a text ("\n") starts a new line.

#include <windows.h>

namespace tastora::widgets {

// The tooltip window of the top-level window `owner`.
HWND CreateTooltip(HWND owner);
void AddHint(HWND tooltip, HWND control, const wchar_t* text);

}  // namespace tastora::widgets
