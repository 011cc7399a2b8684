#include "app/win32/MainWindow.h"

#include <commctrl.h>

#include "app/win32/CatalogueRow.h"
#include "app/win32/ControlIds.h"
#include "app/win32/Dpi.h"
#include "app/win32/GuiDialogs.h"
#include "app/win32/ModalLoop.h"
#include "app/win32/TabPages.h"
#include "platform/win32/WideText.h"
#include "widgets/Tooltip.h"

namespace tastora::gui {
namespace {

constexpr int kClientWidth = 440;
constexpr int kClientHeight = 380;
constexpr int kMinFontSize = 6;
constexpr int kMaxFontSize = 72;

constexpr wchar_t kRestoreHint[] =
    L"Restores the selected layout to the original one.\r\n"
    L"This works for the original layouts edited by this program.\r\n"
    L"This does not work for the layouts created using the New button.";
constexpr wchar_t kRemoveHint[] =
    L"Removes the selected layout: its registration and its libraries.\r\n"
    L"This works for the layouts created using the New button.";

constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kCheckBox = BS_AUTOCHECKBOX | WS_TABSTOP;

}  // namespace

TFGlavni::TFGlavni(GuiContext& context) : context_(context), newKbd_(context) {}

TFGlavni::~TFGlavni() {
  ForgetPageColour();
  for (HFONT font : {tagFont_, titleFont_, linkFont_})
    if (font) DeleteObject(font);
}

bool TFGlavni::Create() {
  if (!RegisterFormClass(kMainWindowClass, &FormProcedure<TFGlavni>)) return false;
  HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kMainWindowClass, kMainCaption,
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                                CW_USEDEFAULT, CW_USEDEFAULT, 480, 420, nullptr, nullptr, GetModuleHandleW(nullptr),
                                this);
  return window != nullptr;
}

void TFGlavni::CreateControls() {
  form.dpi = DpiOf(form.window);
  // The tab control first: the pages' controls lie above it.
  HWND tabs = form.Add({WC_TABCONTROLW, L"", WS_CLIPSIBLINGS | WS_TABSTOP, idTabs, 8, 8, 424, 326});
  const wchar_t* names[kPageCount] = {L"Keyboards", L"Options", L"About"};
  for (int i = 0; i < kPageCount; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(names[i]);
    SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  WatchTabSelection(tabs);
  tooltip_ = widgets::CreateTooltip(form.window);
  CreateKeyboardsPage();
  CreateOptionsPage();
  CreateAboutPage();
  form.Add({L"BUTTON", L"Help", kButton, idHelp, 256, 344, 84, 26});
  form.Add({L"BUTTON", L"&Close", kButton, idClose, 348, 344, 84, 26});
  SetClientSize(form.window, kClientWidth, kClientHeight, form.dpi);
  UpdateFonts();
  ShowPage(kKeyboards);
}

void TFGlavni::CreateKeyboardsPage() {
  HWND list = list_.Create(form.window, idDrawGrid1, widgets::OwnerDrawList::Kind::List, kCatalogueRowHeight,
                           LBS_WANTKEYBOARDINPUT);
  form.Place(list, 16, 38, 316, 288);
  list_.SetDrawRow([this](HDC dc, const RECT& cell, LPARAM data, bool selected) {
    const LayoutEntry entry = context_.actions.Catalogue().Get(static_cast<int>(data));
    DrawCatalogueRow(dc, cell, entry, selected, form.dpi, CatalogueRowFonts{form.Font(), tagFont_});
  });
  AddToPage(kKeyboards, list);
  AddToPage(kKeyboards, form.Add({L"BUTTON", L"&Edit", kButton, idEdituj, 340, 38, 84, 26}));
  AddToPage(kKeyboards, form.Add({L"BUTTON", L"&New", kButton, idNew, 340, 70, 84, 26}));
  HWND restore = form.Add({L"BUTTON", L"Restore", kButton, idRestore, 340, 102, 84, 26});
  AddToPage(kKeyboards, restore);
  widgets::AddHint(tooltip_, restore, kRestoreHint);
  HWND remove = form.Add({L"BUTTON", L"&Remove", kButton, idRemove, 340, 134, 84, 26});
  AddToPage(kKeyboards, remove);
  widgets::AddHint(tooltip_, remove, kRemoveHint);
  ResetRowCount();
}

void TFGlavni::CreateOptionsPage() {
  HWND showMess = form.Add({L"BUTTON", L"Show reboot dialog", kCheckBox, idShowMess, 24, 44, 300, 20});
  widgets::AddHint(tooltip_, showMess, L"Show reboot message");
  AddToPage(kOptions, showMess);
  AddToPage(kOptions, form.Add({L"BUTTON", L"Show Vista warning", kCheckBox, idVista, 24, 70, 300, 20}));
  // The keyboard type has no controls here: its setting only passes through.
  AddToPage(kOptions, form.Add({L"STATIC", L"Layout font size:", SS_LEFT, kNoId, 24, 107, 110, 18}));
  fontSize_.Create(form.window, idFontSize, idFontSizeArrows, kMinFontSize, kMaxFontSize);
  form.Place(fontSize_.Edit(), 140, 104, 60, 22);
  AddToPage(kOptions, fontSize_.Edit());
  AddToPage(kOptions, fontSize_.Arrows());
}

void TFGlavni::CreateAboutPage() {
  const std::wstring title = std::wstring(kMainCaption) + L" v" + Widen(TASTORA_VERSION);
  AddToPage(kAbout, form.Add({L"STATIC", title.c_str(), SS_LEFT | SS_NOPREFIX, idTitle, 24, 50, 392, 26}));
  const std::wstring link = Widen(kProjectPage);
  AddToPage(kAbout, form.Add({L"STATIC", link.c_str(), SS_LEFT | SS_NOTIFY | SS_NOPREFIX, idLink, 24, 88, 300, 18}));
}

void TFGlavni::UpdateFonts() {
  for (HFONT font : {tagFont_, titleFont_, linkFont_})
    if (font) DeleteObject(font);
  tagFont_ = MakeFont(L"MS Sans Serif", 11, form.dpi);
  titleFont_ = MakeUiFont(form.dpi, true, false, -16);
  linkFont_ = MakeUiFont(form.dpi, false, true);
  form.UpdateDpi(form.dpi);
  LayoutSpecial();
}

// What the common layout does not know: the special fonts, the arrows, the rows.
void TFGlavni::LayoutSpecial() {
  SendMessageW(form.Item(idTitle), WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_), TRUE);
  SendMessageW(form.Item(idLink), WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_), TRUE);
  fontSize_.Realign();
  list_.SetDpi(form.dpi);
}

void TFGlavni::ShowPage(int page) {
  for (int i = 0; i < kPageCount; ++i)
    for (HWND control : pages_[i]) {
      const bool hiddenForGood = control == form.Item(idVista) && !vistaBoxShown_;
      ShowWindow(control, i == page && !hiddenForGood ? SW_SHOW : SW_HIDE);
    }
}

void TFGlavni::ApplySettings() {
  const Settings& settings = context_.actions.settings();
  SetChecked(idShowMess, settings.showMessages);
  SetChecked(idVista, settings.vistaWarning);
  const int height = settings.font.height;
  fontSize_.SetValue(height < 0 ? -height : height);
}

void TFGlavni::ResetRowCount() {
  list_.SetCount(context_.actions.Catalogue().Count());
  UpdateRemove();
}

void TFGlavni::UpdateRemove() {
  const std::optional<int> row = SelectedRow();
  EnableWindow(form.Item(idRemove), row && context_.actions.Removable(*row));
}

std::optional<int> TFGlavni::SelectedRow() const {
  const int row = list_.Selection();
  if (row < 0) return std::nullopt;
  return row;
}

bool TFGlavni::Checked(int id) const { return IsDlgButtonChecked(form.window, id) == BST_CHECKED; }

void TFGlavni::SetChecked(int id, bool checked) {
  CheckDlgButton(form.window, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void TFGlavni::FirstShow(int showCommand) {
  ShowWindow(form.window, showCommand);
  UpdateWindow(form.window);
  ShowVistaNotice();
  SetFocus(list_.Handle());
}

LRESULT TFGlavni::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      ApplySettings();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_MEASUREITEM:
      if (list_.Measure(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_DRAWITEM:
      if (list_.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_VKEYTOITEM:
      // Enter in the list, when no dialog navigation took it first.
      if (LOWORD(wParam) == VK_RETURN && reinterpret_cast<HWND>(lParam) == list_.Handle()) {
        bEditujClick();
        return -2;
      }
      return -1;
    case WM_CTLCOLORSTATIC:
      return OnColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      ForgetPageColour();
      InvalidateRect(form.window, nullptr, TRUE);
      break;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == form.Item(idLink)) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    case kHelpRequest:
      bHelpClick();
      return 0;
    case kTabSelected:
      ShowPage(static_cast<int>(SendMessageW(form.Item(idTabs), TCM_GETCURSEL, 0, 0)));
      return 0;
    case WM_DPICHANGED:
      ApplyDpiChange(form, wParam, lParam);
      UpdateFonts();
      ForgetPageColour();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(form.window, message, wParam, lParam);
}

void TFGlavni::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case idDrawGrid1:
      if (code == LBN_DBLCLK) bEditujClick();
      if (code == LBN_SELCHANGE) UpdateRemove();
      return;
    case IDOK:
      // Enter: on the list it edits the selected layout.
      if (GetFocus() == list_.Handle()) bEditujClick();
      return;
    case idFontSize:
      if (code == EN_CHANGE) FontSizeChange();
      return;
    case idLink:
      if (code == STN_CLICKED) lLinkClick();
      return;
  }
  if (code != BN_CLICKED || (control && !IsWindowEnabled(control))) return;
  switch (id) {
    case idEdituj: bEditujClick(); break;
    case idNew: bNewClick(); break;
    case idRestore: RestoreClick(); break;
    case idRemove: RemoveClick(); break;
    case idShowMess: chbShowMessClick(); break;
    case idClose: bCloseClick(); break;
    case idHelp: bHelpClick(); break;
  }
}

LRESULT TFGlavni::OnNotify(const NMHDR& header) {
  if (header.idFrom == static_cast<UINT_PTR>(idTabs) && header.code == static_cast<UINT>(TCN_SELCHANGE))
    ShowPage(static_cast<int>(SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
  return 0;
}

// Every label and box of this window lies on a tab page.
LRESULT TFGlavni::OnColorStatic(HDC dc, HWND control) {
  if (!pageBrush_) {
    pageColour_ = TabPageColour(form.Item(idTabs));
    pageBrush_ = CreateSolidBrush(pageColour_);
  }
  SetBkColor(dc, pageColour_);
  SetTextColor(dc, control == form.Item(idLink) ? RGB(0, 0, 255) : GetSysColor(COLOR_WINDOWTEXT));
  return reinterpret_cast<LRESULT>(pageBrush_);
}

// Taken again when next asked for: a theme or colour change repaints the page.
void TFGlavni::ForgetPageColour() {
  if (pageBrush_) DeleteObject(pageBrush_);
  pageBrush_ = nullptr;
}

void TFGlavni::OnClose() {
  const bool vistaWarning = Checked(idVista);
  context_.actions.WriteSettings([vistaWarning](Profile& profile) { return SaveVistaWarning(profile, vistaWarning); });
  DestroyWindow(form.window);
}

}  // namespace tastora::gui
