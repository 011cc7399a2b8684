// The handlers of the main window's buttons and boxes.

#include <windows.h>

#include <commdlg.h>

#include "app/win32/ControlIds.h"
#include "app/win32/GuiDialogs.h"
#include "app/win32/MainWindow.h"
#include "app/win32/VistaNotice.h"
#include "platform/win32/WideText.h"

namespace tastora::gui {
namespace {

// The data file to install, or nothing when the user cancelled.
std::optional<std::wstring> AskDataFile(HWND owner) {
  wchar_t path[MAX_PATH * 4] = {};
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter =
      L"Layout files\0*.vyr2000;*.klc\0VYR2000 files\0*.vyr2000\0Keyboard Layout Creator files\0*.klc\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH * 4;
  dialog.lpstrTitle = kLoadLayoutCaption;
  dialog.lpstrDefExt = L"vyr2000";
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return std::wstring(path);
}

}  // namespace

void TFGlavni::bEditujClick() {
  const std::optional<int> row = SelectedRow();
  if (!row) return;
  const std::optional<std::wstring> path = AskDataFile(form.window);
  if (!path) return;
  context_.actions.Edit(*row, Narrow(*path));
  // The entry's layout file may have changed, and others registered with it.
  InvalidateRect(list_.Handle(), nullptr, FALSE);
}

void TFGlavni::bNewClick() {
  const std::string language = context_.actions.NewLayoutLanguage(SelectedRow());
  if (newKbd_.Show(form.window, language)) ResetRowCount();
  UpdateRemove();
}

void TFGlavni::RestoreClick() {
  const std::optional<int> row = SelectedRow();
  if (!row) return;
  context_.actions.Restore(*row);
  UpdateRemove();
  InvalidateRect(list_.Handle(), nullptr, FALSE);
}

void TFGlavni::RemoveClick() {
  const std::optional<int> row = SelectedRow();
  if (!row) return;
  // A removal takes a row away; the one after it moves up.
  if (context_.actions.Remove(*row) != InstallResult::Cancelled) ResetRowCount();
  InvalidateRect(list_.Handle(), nullptr, FALSE);
}

void TFGlavni::chbShowMessClick() {
  const bool show = Checked(idShowMess);
  context_.actions.settings().showMessages = show;
  context_.actions.WriteSettings([show](Profile& profile) { return SaveShowMessages(profile, show); });
}

void TFGlavni::FontSizeChange() {
  LayoutFont& font = context_.actions.settings().font;
  const int size = fontSize_.Value();
  // A positive height (a cell height) stays as it is until the size is changed.
  if (size != (font.height < 0 ? -font.height : font.height)) font.height = -size;
}

void TFGlavni::bCloseClick() {
  Settings& settings = context_.actions.settings();
  settings.showMessages = Checked(idShowMess);
  FontSizeChange();
  context_.actions.WriteSettings([&settings](Profile& profile) { return SaveSettings(profile, settings); });
  SendMessageW(form.window, WM_CLOSE, 0, 0);
}

void TFGlavni::bHelpClick() { OpenHelp(context_); }

void TFGlavni::lLinkClick() { context_.session.OpenDocument(kProjectPage); }

void TFGlavni::ShowVistaNotice() {
  if (context_.hasArguments) return;
  const WindowsVersion& version = context_.state.windowsVersion;
  const bool vistaOrLater = version.major == 6 && version.build >= 5384;
  if (!vistaOrLater) {
    vistaBoxShown_ = false;
    ShowWindow(form.Item(idVista), SW_HIDE);
    return;
  }
  if (!context_.actions.settings().vistaWarning) return;
  TfrmVista notice(context_);
  const bool dontShowAgain = notice.Show(form.window);
  SetChecked(idVista, !dontShowAgain);
}

}  // namespace tastora::gui
