#include "platform/win32/Win32Dialogs.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace tastora {

Win32Dialogs::Win32Dialogs(std::string title) : title_(std::move(title)) {}

std::wstring MessageBoxText(std::string_view text) {
  const std::wstring wide = Widen(text);
  std::wstring out;
  out.reserve(wide.size() + 8);
  for (size_t i = 0; i < wide.size(); ++i) {
    const wchar_t c = wide[i];
    if (c == L'\r' && i + 1 < wide.size() && wide[i + 1] == L'\n') {
      out += L"\r\n";
      ++i;
    } else if (c == L'\r' || c == L'\n') {
      out += L"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

int Win32Dialogs::Box(std::string_view text, std::string_view caption, unsigned flags) {
  HWND owner = static_cast<HWND>(owner_);
  if (owner && !IsWindow(owner)) owner = nullptr;
  // Without an owner the box could open behind other programs' windows.
  if (!owner) flags |= MB_SETFOREGROUND;
  return MessageBoxW(owner, MessageBoxText(text).c_str(), Widen(caption).c_str(), flags);
}

void Win32Dialogs::ShowMessage(std::string_view text) { Box(text, title_, MB_OK); }

void Win32Dialogs::ShowWarning(std::string_view text) { Box(text, "Warning", MB_OK | MB_ICONWARNING); }

void Win32Dialogs::ShowError(std::string_view text, std::string_view caption) {
  Box(text, caption, MB_OK | MB_ICONERROR);
}

bool Win32Dialogs::AskYesNo(std::string_view text) {
  return Box(text, "Confirm", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool Win32Dialogs::AskYesNoCaptioned(std::string_view text, std::string_view caption) {
  return Box(text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace tastora
