#pragma once
// TfrmVista: the notice that the program must run as an administrator on
// Vista and later, with "Don't show again".

#include <windows.h>

#include "app/win32/Form.h"
#include "app/win32/GuiContext.h"

namespace tastora::gui {

class TfrmVista {
 public:
  explicit TfrmVista(GuiContext& context) : context_(context) {}
  // Shows the notice modally over `owner`; true when "Don't show again"
  // was ticked (which has then been written to the settings).
  bool Show(HWND owner);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  Form form;

 private:
  void CreateControls();
  void Paint();
  void Close();

  GuiContext& context_;
  bool done_ = false;
  bool dontShowAgain_ = false;
};

}  // namespace tastora::gui
