#pragma once
// Pixel sizes are designed at 96 DPI and scaled to the window's DPI. The
// newer DPI functions are looked up at run time: the program also runs on
// Windows XP.

#include <windows.h>

namespace tastora::gui {

inline constexpr int kDesignDpi = 96;

// Asks for per-monitor DPI awareness where the system offers it.
void EnableDpiAwareness();
// The DPI the window is shown at (the screen's on older systems).
int DpiOf(HWND window);
// A length designed at 96 DPI, at `dpi`.
inline int Scale(int pixels, int dpi) { return MulDiv(pixels, dpi, kDesignDpi); }
// Sizes the window so that its client area is `width` x `height` at 96 DPI, scaled.
void SetClientSize(HWND window, int width, int height, int dpi);
// A font whose height (at 96 DPI) is scaled; negative: character height.
HFONT MakeFont(const wchar_t* face, int height, int dpi, bool bold = false, bool italic = false,
               bool underline = false, BYTE charset = DEFAULT_CHARSET);
// The program's font for captions and lists.
HFONT MakeUiFont(int dpi, bool bold = false, bool underline = false, int height = -11);

}  // namespace tastora::gui
