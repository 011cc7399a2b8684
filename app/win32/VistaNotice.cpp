#include "app/win32/VistaNotice.h"

#include "app/win32/ControlIds.h"
#include "app/win32/Dpi.h"
#include "app/win32/ModalLoop.h"

namespace tastora::gui {
namespace {

constexpr wchar_t kClass[] = L"TfrmVista";
constexpr wchar_t kNotice[] =
    L"Important! If you are running Microsoft Vista or Windows 7 Operationg System, you must run this program as an "
    L"administrator. To do so, you must right click on the program icon and choose \"Run as administrator\" option "
    L"from the popup menu.";

}  // namespace

bool TfrmVista::Show(HWND owner) {
  if (!RegisterFormClass(kClass, &FormProcedure<TfrmVista>)) return false;
  done_ = false;
  dontShowAgain_ = false;
  HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClass, kVistaCaption,
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 400, 200, owner,
                                nullptr, GetModuleHandleW(nullptr), this);
  if (!window) return false;
  RunModal(window, owner, done_, form.Item(IDOK));
  return dontShowAgain_;
}

void TfrmVista::CreateControls() {
  form.dpi = DpiOf(form.window);
  form.Add({L"STATIC", kNotice, SS_LEFT | SS_NOPREFIX, kNoId, 60, 14, 308, 82});
  form.Add({L"BUTTON", L"Don't show again", BS_AUTOCHECKBOX | WS_TABSTOP, idDontShowAgain, 60, 104, 200, 20});
  form.Add({L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 288, 130, 80, 26});
  SetClientSize(form.window, 380, 168, form.dpi);
  form.UpdateDpi(form.dpi);
  CentreOverOwner(form.window);
}

// The picture: the system's warning sign.
void TfrmVista::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(form.window, &paint);
  const int size = form.Px(32);
  DrawIconEx(dc, form.Px(14), form.Px(14), LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_WARNING)), size, size,
             0, nullptr, DI_NORMAL);
  EndPaint(form.window, &paint);
}

void TfrmVista::Close() {
  dontShowAgain_ = IsDlgButtonChecked(form.window, idDontShowAgain) == BST_CHECKED;
  if (dontShowAgain_)
    context_.actions.WriteSettings([](Profile& profile) { return SaveVistaWarning(profile, false); });
  EndModal(form.window, done_);
}

LRESULT TfrmVista::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      return 0;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_COMMAND:
      if ((LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) && HIWORD(wParam) == BN_CLICKED) Close();
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DPICHANGED:
      ApplyDpiChange(form, wParam, lParam);
      form.UpdateDpi(form.dpi);
      InvalidateRect(form.window, nullptr, TRUE);
      return 0;
    case kHelpRequest:
      return 0;
  }
  return DefWindowProcW(form.window, message, wParam, lParam);
}

}  // namespace tastora::gui
