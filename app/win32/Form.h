#pragma once
// A top-level window and its controls, each placed by a rectangle designed
// at 96 DPI: laying the form out again at another DPI moves and resizes
// every control and gives them a font of the new size.

#include <windows.h>

#include <vector>

namespace tastora::gui {

inline constexpr int kNoId = -1;  // labels nobody looks up

struct ControlLayout {
  const wchar_t* className;
  const wchar_t* text;
  DWORD style;  // WS_CHILD | WS_VISIBLE are added
  int id;
  int x, y, width, height;  // at 96 DPI
};

class Form {
 public:
  Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  ~Form();

  HWND window = nullptr;
  int dpi = 96;

  // A new window of the form (a dialog shown again): its controls are new too.
  void Attach(HWND newWindow) {
    window = newWindow;
    placed_.clear();
  }
  HWND Add(const ControlLayout& layout, DWORD exStyle = 0);
  // Places a control created elsewhere by its 96-DPI rectangle.
  void Place(HWND control, int x, int y, int width, int height);
  HWND Item(int id) const { return GetDlgItem(window, id); }
  HFONT Font() const { return font_; }
  // Takes the window's DPI, makes the font for it and lays the controls out.
  void UpdateDpi(int newDpi);
  void Layout();
  // A 96-DPI length at the form's DPI.
  int Px(int pixels) const { return MulDiv(pixels, dpi, 96); }

 private:
  struct Placed {
    HWND control;
    RECT design;
  };
  std::vector<Placed> placed_;
  HFONT font_ = nullptr;
};

// Registers a window class once per run; false when it could not be.
bool RegisterFormClass(const wchar_t* name, WNDPROC procedure, HICON icon = nullptr);

// The window procedure of a form class T: T::HandleMessage(message, wParam,
// lParam) gets the messages once the window knows its object (passed as the
// creation parameter); T::form is attached to the window at WM_NCCREATE.
template <typename T>
LRESULT CALLBACK FormProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  T* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->form.Attach(window);
  } else {
    self = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

// Centres a dialog over its owner (or the screen without one).
void CentreOverOwner(HWND window);

// WM_DPICHANGED: takes the suggested rectangle and the new DPI; the caller
// then lays the form out (Form::UpdateDpi and its own extras).
void ApplyDpiChange(Form& form, WPARAM wParam, LPARAM lParam);

}  // namespace tastora::gui
