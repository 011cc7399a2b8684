#include "app/win32/Form.h"

#include "app/win32/Dpi.h"

namespace tastora::gui {

Form::~Form() {
  if (font_) DeleteObject(font_);
}

HWND Form::Add(const ControlLayout& layout, DWORD exStyle) {
  HWND control = CreateWindowExW(exStyle, layout.className, layout.text, layout.style | WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                 window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control) Place(control, layout.x, layout.y, layout.width, layout.height);
  return control;
}

void Form::Place(HWND control, int x, int y, int width, int height) {
  placed_.push_back(Placed{control, RECT{x, y, x + width, y + height}});
  SetWindowPos(control, nullptr, Px(x), Px(y), Px(width), Px(height), SWP_NOZORDER | SWP_NOACTIVATE);
  if (font_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

void Form::UpdateDpi(int newDpi) {
  dpi = newDpi;
  HFONT old = font_;
  font_ = MakeUiFont(dpi);
  Layout();
  if (old) DeleteObject(old);
}

void Form::Layout() {
  for (const Placed& p : placed_) {
    const RECT& d = p.design;
    SetWindowPos(p.control, nullptr, Px(d.left), Px(d.top), Px(d.right - d.left), Px(d.bottom - d.top),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(p.control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }
}

bool RegisterFormClass(const wchar_t* name, WNDPROC procedure, HICON icon) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (GetClassInfoExW(instance, name, &existing)) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  // The program's icon, when the resources carry one (ordinal 1).
  wc.hIcon = icon ? icon : LoadIconW(instance, MAKEINTRESOURCEW(1));
  return RegisterClassExW(&wc) != 0;
}

void CentreOverOwner(HWND window) {
  RECT area{}, own{};
  HWND owner = GetWindow(window, GW_OWNER);
  if (!owner || !IsWindowVisible(owner) || IsIconic(owner) || !GetWindowRect(owner, &area))
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  if (!GetWindowRect(window, &own)) return;
  const int width = own.right - own.left, height = own.bottom - own.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ApplyDpiChange(Form& form, WPARAM wParam, LPARAM lParam) {
  const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
  SetWindowPos(form.window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  form.dpi = HIWORD(wParam);
}

}  // namespace tastora::gui
