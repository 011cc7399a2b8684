#include "app/win32/DuplicateKeyDialog.h"

#include "app/win32/ControlIds.h"
#include "app/win32/Dpi.h"
#include "app/win32/ModalLoop.h"
#include "platform/win32/WideText.h"

namespace tastora::gui {
namespace {

constexpr wchar_t kClass[] = L"TfError1";
constexpr int kKeySize = 44;

// The code page of a font's character set, for 8-bit characters.
unsigned CodePageOf(int charset) {
  CHARSETINFO info{};
  if (TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<INT_PTR>(charset)), &info, TCI_SRCCHARSET))
    return info.ciACP;
  return 0;  // the system's default
}

}  // namespace

DuplicateKeyDialog::DuplicateKeyDialog(const DuplicateKeyPair& pair, const LayoutFont& font, CodePages& codePages)
    : pair_(pair), font_(font), codePages_(codePages) {}

DuplicateKeyDialog::~DuplicateKeyDialog() {
  if (keyFont_) DeleteObject(keyFont_);
}

bool DuplicateKeyDialog::Show(HWND owner) {
  if (!RegisterFormClass(kClass, &FormProcedure<DuplicateKeyDialog>)) return false;
  yes_ = false;
  done_ = false;
  DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  // Without an owner (the command line) it must not open behind other windows.
  if (!owner) exStyle |= WS_EX_TOPMOST | WS_EX_APPWINDOW;
  HWND window = CreateWindowExW(exStyle, kClass, kError1Caption, WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                CW_USEDEFAULT, 420, 300, owner, nullptr, GetModuleHandleW(nullptr), this);
  if (!window) return false;
  RunModal(window, owner, done_, form.Item(IDNO));
  return yes_;
}

void DuplicateKeyDialog::CreateControls() {
  form.dpi = DpiOf(form.window);
  form.Add({L"STATIC", Widen(kDuplicateKeyText).c_str(), SS_LEFT | SS_NOPREFIX, kNoId, 12, 10, 396, 58});
  const std::wstring index1 = L"(" + std::to_wstring(pair_.key1Index) + L")";
  const std::wstring index2 = L"(" + std::to_wstring(pair_.key2Index) + L")";
  form.Add({L"STATIC", L"Key #1", SS_LEFT, kNoId, 20, 84, 70, 16});
  form.Add({L"STATIC", index1.c_str(), SS_LEFT, idKey1Index, 20, 102, 70, 16});
  form.Add({L"STATIC", L"Key #2", SS_LEFT, kNoId, 220, 84, 70, 16});
  form.Add({L"STATIC", index2.c_str(), SS_LEFT, idKey2Index, 220, 102, 70, 16});
  const int ids[4] = {idKey1Slot0, idKey1Slot1, idKey2Slot0, idKey2Slot1};
  const int xs[4] = {92, 140, 292, 340};
  for (int i = 0; i < 4; ++i) form.Place(keys_[i].Create(form.window, ids[i]), xs[i], 76, kKeySize, kKeySize);
  const std::wstring vk = L"Virtual Key: " + Widen(pair_.vkName);
  form.Add({L"STATIC", vk.c_str(), SS_LEFT | SS_NOPREFIX, idVirtualKey, 12, 132, 396, 16});
  form.Add({L"STATIC", Widen(kDuplicateKeyQuestion).c_str(), SS_LEFT | SS_NOPREFIX, kNoId, 12, 156, 396, 32});
  form.Add({L"BUTTON", L"&Yes", BS_PUSHBUTTON | WS_TABSTOP, IDYES, 124, 200, 80, 26});
  form.Add({L"BUTTON", L"&No", BS_DEFPUSHBUTTON | WS_TABSTOP, IDNO, 216, 200, 80, 26});
  SetClientSize(form.window, 420, 238, form.dpi);
  CentreOverOwner(form.window);
  FillKeys();
  UpdateFonts();
}

std::wstring DuplicateKeyDialog::KeyText(uint16_t ch) const {
  if (ch == 0) return L"";
  if (pair_.wideChars) return std::wstring(1, static_cast<wchar_t>(ch));
  const uint16_t wide = codePages_.NarrowToWide(static_cast<uint8_t>(ch), CodePageOf(font_.script));
  return std::wstring(1, static_cast<wchar_t>(wide));
}

void DuplicateKeyDialog::FillKeys() {
  keys_[0].SetText(KeyText(pair_.key1Chars[0]));
  keys_[1].SetText(KeyText(pair_.key1Chars[1]));
  keys_[2].SetText(KeyText(pair_.key2Chars[0]));
  keys_[3].SetText(KeyText(pair_.key2Chars[1]));
}

void DuplicateKeyDialog::UpdateFonts() {
  HFONT old = keyFont_;
  keyFont_ = MakeFont(Widen(font_.face).c_str(), font_.height, form.dpi, font_.bold, font_.italic, false,
                      static_cast<BYTE>(font_.script));
  for (widgets::KeyButton& key : keys_) key.SetFont(keyFont_);
  if (old) DeleteObject(old);
  form.UpdateDpi(form.dpi);
}

void DuplicateKeyDialog::Answer(bool yes) {
  yes_ = yes;
  EndModal(form.window, done_);
}

LRESULT DuplicateKeyDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return 0;
      // Esc (IDCANCEL) is No, and so is every way of closing but Yes.
      if (LOWORD(wParam) == IDYES) Answer(true);
      else if (LOWORD(wParam) == IDNO || LOWORD(wParam) == IDCANCEL) Answer(false);
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(IDNO, DC_HASDEFID);
    case WM_DRAWITEM:
      for (const widgets::KeyButton& key : keys_)
        if (key.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_DPICHANGED:
      ApplyDpiChange(form, wParam, lParam);
      UpdateFonts();
      return 0;
    case WM_CLOSE:
      Answer(false);
      return 0;
    case kHelpRequest:
      return 0;
  }
  return DefWindowProcW(form.window, message, wParam, lParam);
}

}  // namespace tastora::gui
