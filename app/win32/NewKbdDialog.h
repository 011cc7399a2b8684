#pragma once
// TfNewKbd, the new-layout dialog: a template from the catalogue, a
// language and a name.

#include <windows.h>

#include <string>
#include <vector>

#include "app/win32/Form.h"
#include "app/win32/GuiContext.h"
#include "system/NewKbd.h"
#include "widgets/OwnerDrawList.h"

namespace tastora::gui {

class TfNewKbd {
 public:
  explicit TfNewKbd(GuiContext& context);
  ~TfNewKbd();
  TfNewKbd(const TfNewKbd&) = delete;
  TfNewKbd& operator=(const TfNewKbd&) = delete;

  // Shows the dialog modally over `owner`, the language preset by its
  // hexadecimal number; true when a layout was created (LayoutsChanged):
  // the catalogue has been built again.
  bool Show(HWND owner, const std::string& presetLanguage);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  Form form;

  void bCreateClick();
  void bCancelClick();
  void bHelpClick();

 private:
  void CreateControls();
  void FillTemplates();
  void FillLanguages();
  void PresetLanguage();
  void UpdateFonts();
  // The language whose number a row of the box carries.
  const LanguageItem* FindLanguage(LPARAM number) const;
  void DrawLanguage(HDC dc, const RECT& cell, LPARAM data, bool selected) const;
  void Close();

  GuiContext& context_;
  std::vector<LanguageItem> languages_;
  widgets::OwnerDrawList cbLanguage_;
  HFONT nameFont_ = nullptr;
  HFONT numberFont_ = nullptr;
  std::string preset_ = "0";
  int languageSelection_ = -1;  // kept from one showing to the next
  bool LayoutsChanged = false;
  bool done_ = false;
};

}  // namespace tastora::gui
