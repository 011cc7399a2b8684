#pragma once
// A number box: an edit box with up and down arrows inside its right edge,
// within a range.

#include <windows.h>

namespace tastora::widgets {

class SpinEdit {
 public:
  // The edit box gets `id`, the arrows `arrowsId`.
  HWND Create(HWND parent, int id, int arrowsId, int minimum, int maximum);
  HWND Edit() const { return edit_; }
  HWND Arrows() const { return arrows_; }
  int Value() const;
  void SetValue(int value);
  void Show(bool visible);
  // After the edit box was moved or resized: the arrows go inside it again.
  void Realign();

 private:
  HWND edit_ = nullptr;
  HWND arrows_ = nullptr;
  int minimum_ = 0;
  int maximum_ = 100;
};

}  // namespace tastora::widgets
