#pragma once
// TFGlavni, the main window: the catalogue of layouts with the Edit, New,
// Restore and Remove actions, the options and the About page, on three tabs.

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "app/win32/Form.h"
#include "app/win32/GuiContext.h"
#include "app/win32/NewKbdDialog.h"
#include "widgets/OwnerDrawList.h"
#include "widgets/SpinEdit.h"

namespace tastora::gui {

// The project's web page, which the About page links to.
inline constexpr char kProjectPage[] = "https://tastora.example.org/";

class TFGlavni {
 public:
  explicit TFGlavni(GuiContext& context);
  ~TFGlavni();
  TFGlavni(const TFGlavni&) = delete;
  TFGlavni& operator=(const TFGlavni&) = delete;

  // Creates the window, hidden, with the catalogue listed.
  bool Create();
  HWND Handle() const { return form.window; }
  // The first showing: the Vista notice when due, the focus to the list.
  void FirstShow(int showCommand);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  Form form;

  // The handlers of the controls.
  void bEditujClick();
  void bNewClick();
  void RestoreClick();
  void RemoveClick();
  void chbShowMessClick();
  void bCloseClick();
  void bHelpClick();
  void lLinkClick();
  void FontSizeChange();

 private:
  enum Page { kKeyboards, kOptions, kAbout, kPageCount };

  void CreateControls();
  void CreateKeyboardsPage();
  void CreateOptionsPage();
  void CreateAboutPage();
  void AddToPage(Page page, HWND control) { pages_[page].push_back(control); }
  void ShowPage(int page);
  void ApplySettings();
  void UpdateFonts();
  void LayoutSpecial();
  void ShowVistaNotice();
  void ResetRowCount();
  // Remove is offered only for a layout this program created.
  void UpdateRemove();
  std::optional<int> SelectedRow() const;
  bool Checked(int id) const;
  void SetChecked(int id, bool checked);

  void OnCommand(int id, int code, HWND control);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnColorStatic(HDC dc, HWND control);
  void ForgetPageColour();
  void OnClose();

  GuiContext& context_;
  widgets::OwnerDrawList list_;
  widgets::SpinEdit fontSize_;
  std::array<std::vector<HWND>, kPageCount> pages_;
  HWND tooltip_ = nullptr;
  HBRUSH pageBrush_ = nullptr;  // the tab page's colour, taken when first needed
  COLORREF pageColour_ = 0;
  HFONT tagFont_ = nullptr;
  HFONT titleFont_ = nullptr;
  HFONT linkFont_ = nullptr;
  bool vistaBoxShown_ = true;
  TfNewKbd newKbd_;
};

}  // namespace tastora::gui
