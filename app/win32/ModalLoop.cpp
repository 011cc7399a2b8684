#include "app/win32/ModalLoop.h"

namespace tastora::gui {
namespace {

// F1 anywhere in a window asks that window for its help.
bool TakeHelpKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_F1 || !msg.hwnd) return false;
  HWND top = GetAncestor(msg.hwnd, GA_ROOT);
  if (!top) return false;
  SendMessageW(top, kHelpRequest, 0, 0);
  return true;
}

void Dispatch(MSG& msg) {
  if (TakeHelpKey(msg)) return;
  HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (top && IsDialogMessageW(top, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

int RunMessageLoop() {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  return static_cast<int>(msg.wParam);
}

void RunModal(HWND dialog, HWND owner, const bool& done, HWND focus) {
  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
  if (focus) SetFocus(focus);
  UpdateWindow(dialog);
  MSG msg{};
  while (!done && IsWindow(dialog)) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    Dispatch(msg);
  }
  // The owner first: otherwise another program's window would be activated.
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  if (owner) SetActiveWindow(owner);
  if (IsWindow(dialog)) DestroyWindow(dialog);
}

void EndModal(HWND dialog, bool& done) {
  done = true;
  PostMessageW(dialog, WM_NULL, 0, 0);
}

}  // namespace tastora::gui
