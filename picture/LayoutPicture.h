#pragma once
// A layout drawn as an SVG picture of its keyboard: each key with what it
// types in the four corners a printed keycap uses (Base bottom left, Shift
// top left, AltGr bottom right, Shift+AltGr top right), dead keys and
// ligatures marked in colour, and a legend of what the dead keys make.

#include <string>

#include "picture/KeyboardShapes.h"

namespace tastora {

struct KeyboardLayout;

struct PictureTitle {
  std::string name;      // the layout's name, UTF-8
  std::string language;  // the language it is for, UTF-8; may be empty
};

// The whole SVG document, in UTF-8. The same layout always gives the same
// bytes. Keys with characters that the shape has no place for (media keys
// given characters, the key left of Z on an ANSI board) are drawn in a row
// of their own below the keyboard.
std::string LayoutPicture(const KeyboardLayout& layout, const PictureTitle& title, KeyboardShape shape);

}  // namespace tastora
