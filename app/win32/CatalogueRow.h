#pragma once
// How a row of the catalogue list looks: the language tag in a small box,
// the locale name, and the layout's name at the right.

#include <windows.h>

#include "system/Locales.h"

namespace tastora::gui {

inline constexpr int kCatalogueRowHeight = 20;  // at 96 DPI

struct CatalogueRowFonts {
  HFONT text;  // the locale and layout names
  HFONT tag;   // the language tag
};

void DrawCatalogueRow(HDC dc, const RECT& cell, const LayoutEntry& entry, bool selected, int dpi,
                      const CatalogueRowFonts& fonts);

}  // namespace tastora::gui
