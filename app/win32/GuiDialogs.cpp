#include "app/win32/GuiDialogs.h"

#include "app/win32/DuplicateKeyDialog.h"

namespace tastora::gui {

bool GuiDialogs::ShowDuplicateKeys(const DuplicateKeyPair& pair) {
  static const LayoutFont kDefaultFont;
  DuplicateKeyDialog dialog(pair, font_ ? *font_ : kDefaultFont, codePages_);
  return dialog.Show(static_cast<HWND>(Owner()));
}

}  // namespace tastora::gui
