#include "app/win32/NewKbdDialog.h"

#include <cwchar>

#include "app/win32/ControlIds.h"
#include "app/win32/Dpi.h"
#include "app/win32/ModalLoop.h"
#include "platform/win32/WideText.h"

namespace tastora::gui {
namespace {

constexpr wchar_t kClass[] = L"TfNewKbd";
constexpr int kLanguageRowHeight = 16;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;

std::wstring HexNumber(int32_t number) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%04X", static_cast<unsigned>(number));
  return text;
}

}  // namespace

TfNewKbd::TfNewKbd(GuiContext& context) : context_(context), languages_(LanguageListItems()) {}

TfNewKbd::~TfNewKbd() {
  for (HFONT font : {nameFont_, numberFont_})
    if (font) DeleteObject(font);
}

bool TfNewKbd::Show(HWND owner, const std::string& presetLanguage) {
  if (!RegisterFormClass(kClass, &FormProcedure<TfNewKbd>)) return false;
  preset_ = presetLanguage;
  LayoutsChanged = false;
  done_ = false;
  HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClass, kNewKbdCaption,
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 360, 240, owner,
                                nullptr, GetModuleHandleW(nullptr), this);
  if (!window) return false;
  RunModal(window, owner, done_, form.Item(idTemplate));
  return LayoutsChanged;
}

void TfNewKbd::CreateControls() {
  form.dpi = DpiOf(form.window);
  // Each label just before its box: its mnemonic moves the focus there.
  form.Add({L"STATIC", L"&Template:", SS_LEFT, kNoId, 12, 16, 92, 16});
  form.Add({L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, idTemplate, 108, 12, 222, 240});
  form.Add({L"STATIC", L"&Language", SS_LEFT, kNoId, 12, 48, 92, 16});
  form.Place(cbLanguage_.Create(form.window, idLanguage, widgets::OwnerDrawList::Kind::DropDown, kLanguageRowHeight),
             108, 44, 222, 260);
  cbLanguage_.SetDrawRow(
      [this](HDC dc, const RECT& cell, LPARAM data, bool selected) { DrawLanguage(dc, cell, data, selected); });
  form.Add({L"STATIC", L"Layout &Name:", SS_LEFT, kNoId, 12, 80, 92, 16});
  form.Add({L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, idName, 108, 76, 222, 22}, WS_EX_CLIENTEDGE);
  HWND warning = form.Add({L"STATIC", Widen(kOneLayoutPerLanguageWarning).c_str(), SS_LEFT, kNoId, 12, 108, 318, 30});
  if (context_.state.IsNtPlatform()) ShowWindow(warning, SW_HIDE);
  form.Add({L"BUTTON", L"Create", BS_DEFPUSHBUTTON | WS_TABSTOP, idCreate, 78, 150, 80, 26});
  form.Add({L"BUTTON", L"Cancel", kButton, idCancel, 164, 150, 80, 26});
  form.Add({L"BUTTON", L"Help", kButton, idNewHelp, 250, 150, 80, 26});
  SetClientSize(form.window, 342, 188, form.dpi);
  CentreOverOwner(form.window);
  UpdateFonts();
  FillLanguages();
  FillTemplates();
  SetWindowTextW(form.Item(idName), Widen(kNewLayoutName).c_str());
  PresetLanguage();
  SendMessageW(form.Item(idTemplate), CB_SETCURSEL, 0, 0);
}

// The catalogue as it is now: item i is catalogue position i.
void TfNewKbd::FillTemplates() {
  HWND box = form.Item(idTemplate);
  SendMessageW(box, CB_RESETCONTENT, 0, 0);
  const TLocales& catalogue = context_.actions.Catalogue();
  for (int i = 0; i < catalogue.Count(); ++i)
    SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(catalogue.Get(i).LayoutText.View()).c_str()));
}

// Sorted by name already: the box keeps the order it is given. Each row
// carries its language number, as a caller reading the box expects.
void TfNewKbd::FillLanguages() {
  cbLanguage_.Clear();
  for (const LanguageItem& language : languages_) cbLanguage_.Add(static_cast<LPARAM>(language.number));
  if (languageSelection_ >= 0) cbLanguage_.Select(languageSelection_);
}

void TfNewKbd::PresetLanguage() {
  const std::optional<int32_t> preset = HexToInt(preset_);
  if (!preset) return;
  for (size_t i = 0; i < languages_.size(); ++i)
    if (languages_[i].number == *preset) {
      cbLanguage_.Select(static_cast<int>(i));
      return;
    }
}

void TfNewKbd::UpdateFonts() {
  for (HFONT font : {nameFont_, numberFont_})
    if (font) DeleteObject(font);
  nameFont_ = MakeFont(L"MS Sans Serif", -11, form.dpi);
  numberFont_ = MakeFont(L"Courier New", -11, form.dpi);
  form.UpdateDpi(form.dpi);
  cbLanguage_.SetDpi(form.dpi);
}

// The name at the left; the number, in its own cell at the right.
const LanguageItem* TfNewKbd::FindLanguage(LPARAM number) const {
  for (const LanguageItem& language : languages_)
    if (language.number == number) return &language;
  return nullptr;
}

void TfNewKbd::DrawLanguage(HDC dc, const RECT& cell, LPARAM data, bool selected) const {
  const LanguageItem* found = FindLanguage(data);
  if (!found) return;
  const LanguageItem& item = *found;
  SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr);
  SetBkMode(dc, TRANSPARENT);
  const std::wstring number = HexNumber(item.number);
  SelectObject(dc, numberFont_);
  SIZE extent{};
  GetTextExtentPoint32W(dc, number.c_str(), static_cast<int>(number.size()), &extent);
  RECT numberCell = cell;
  numberCell.left = cell.right - (extent.cx + Scale(5, form.dpi));
  const int inset = Scale(3, form.dpi);
  ExtTextOutW(dc, numberCell.left + inset, cell.top + (cell.bottom - cell.top - extent.cy) / 2, ETO_CLIPPED,
              &numberCell, number.c_str(), static_cast<UINT>(number.size()), nullptr);
  SelectObject(dc, nameFont_);
  RECT nameCell = cell;
  nameCell.left += Scale(2, form.dpi);
  nameCell.right = numberCell.left;
  const std::wstring name = Widen(item.text);
  DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &nameCell,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void TfNewKbd::bCreateClick() {
  const int templateRow = static_cast<int>(SendMessageW(form.Item(idTemplate), CB_GETCURSEL, 0, 0));
  const int languageRow = cbLanguage_.Selection();
  if (templateRow < 0 || languageRow < 0) return;
  const LanguageItem* language = FindLanguage(cbLanguage_.Data(languageRow));
  if (!language) return;
  wchar_t name[256] = {};
  GetWindowTextW(form.Item(idName), name, 256);
  context_.actions.New(templateRow, language->number, Narrow(name));
  LayoutsChanged = true;
  Close();
}

void TfNewKbd::bCancelClick() { Close(); }

void TfNewKbd::bHelpClick() { OpenHelp(context_); }

void TfNewKbd::Close() {
  languageSelection_ = cbLanguage_.Selection();
  EndModal(form.window, done_);
}

LRESULT TfNewKbd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return 0;
      switch (LOWORD(wParam)) {
        case idCreate: bCreateClick(); break;
        case IDCANCEL:
        case idCancel: bCancelClick(); break;
        case idNewHelp: bHelpClick(); break;
      }
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(idCreate, DC_HASDEFID);
    case WM_MEASUREITEM:
      if (cbLanguage_.Measure(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_DRAWITEM:
      if (cbLanguage_.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case kHelpRequest:
      bHelpClick();
      return 0;
    case WM_DPICHANGED:
      ApplyDpiChange(form, wParam, lParam);
      UpdateFonts();
      return 0;
    case WM_CLOSE:
      bCancelClick();
      return 0;
  }
  return DefWindowProcW(form.window, message, wParam, lParam);
}

}  // namespace tastora::gui
