#include "app/win32/Dpi.h"

namespace tastora::gui {
namespace {

template <typename Function>
Function LookUp(const wchar_t* library, const char* name) {
  HMODULE module = GetModuleHandleW(library);
  if (!module) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

void EnableDpiAwareness() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  using SetAware = BOOL(WINAPI*)();
  // A manifest that already chose wins: then these calls fail, harmlessly.
  if (auto setContext = LookUp<SetContext>(L"user32.dll", "SetProcessDpiAwarenessContext")) {
    if (setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))))  // per monitor, v2
      return;
  }
  if (auto setAware = LookUp<SetAware>(L"user32.dll", "SetProcessDPIAware")) setAware();
}

int DpiOf(HWND window) {
  using GetForWindow = UINT(WINAPI*)(HWND);
  static const auto getForWindow = LookUp<GetForWindow>(L"user32.dll", "GetDpiForWindow");
  if (getForWindow && window) {
    const UINT dpi = getForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kDesignDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDesignDpi;
}

void SetClientSize(HWND window, int width, int height, int dpi) {
  using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = LookUp<AdjustForDpi>(L"user32.dll", "AdjustWindowRectExForDpi");
  RECT rect{0, 0, Scale(width, dpi), Scale(height, dpi)};
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  if (adjustForDpi)
    adjustForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi));
  else
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT MakeFont(const wchar_t* face, int height, int dpi, bool bold, bool italic, bool underline, BYTE charset) {
  LOGFONTW font{};
  font.lfHeight = Scale(height, dpi);
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfItalic = italic ? TRUE : FALSE;
  font.lfUnderline = underline ? TRUE : FALSE;
  font.lfCharSet = charset;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

HFONT MakeUiFont(int dpi, bool bold, bool underline, int height) {
  // "MS Shell Dlg 2" maps to the system's dialog font (Tahoma, Segoe UI).
  return MakeFont(L"MS Shell Dlg 2", height, dpi, bold, false, underline);
}

}  // namespace tastora::gui
