#pragma once
// The message loops: the program's own and the one of a modal window. Both
// give Tab, Enter, Esc and the mnemonics to the active window's controls,
// and F1 to the active window as a help request.

#include <windows.h>

namespace tastora::gui {

// Sent to a top-level window when F1 was pressed in it.
inline constexpr UINT kHelpRequest = WM_APP + 1;

// Runs until WM_QUIT; returns its exit code.
int RunMessageLoop();
// Shows `dialog` over a disabled `owner`, with the focus on `focus`, and
// runs messages until `done` is set (by the dialog's own handlers); then
// enables the owner again and destroys the dialog. A WM_QUIT meanwhile is
// passed on to the outer loop.
void RunModal(HWND dialog, HWND owner, const bool& done, HWND focus = nullptr);
// Ends the modal loop of `dialog`: sets `done` and wakes the loop, which
// may wait for a posted message while a sent one (from another program)
// closed the dialog.
void EndModal(HWND dialog, bool& done);

}  // namespace tastora::gui
