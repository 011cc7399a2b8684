#include "platform/win32/Win32InputLanguageApi.h"

#include <string>

#include "platform/win32/WideText.h"

namespace tastora {
namespace {

using InstallLayoutOrTipFn = BOOL(WINAPI*)(LPCWSTR, DWORD);
using LcidToLocaleNameFn = int(WINAPI*)(LCID, LPWSTR, int, DWORD);

void* Lookup(HMODULE module, const char* name) {
  // Through void*: the export's real type is restored where it is called.
  return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

}  // namespace

Win32InputLanguageApi::~Win32InputLanguageApi() {
  if (input_) FreeLibrary(input_);
}

std::optional<bool> Win32InputLanguageApi::InstallLayoutOrTip(std::string_view list, uint32_t flags) {
  if (!looked_) {
    looked_ = true;
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) input_ = LoadLibraryW((std::wstring(folder, length) + L"\\input.dll").c_str());
  }
  void* function = Lookup(input_, "InstallLayoutOrTip");
  if (!function) return std::nullopt;
  const std::wstring wide = Widen(list);
  return reinterpret_cast<InstallLayoutOrTipFn>(function)(wide.c_str(), flags) != FALSE;
}

std::string Win32InputLanguageApi::LanguageTag(uint16_t language) {
  // Windows Vista and later.
  void* function = Lookup(GetModuleHandleW(L"kernel32.dll"), "LCIDToLocaleName");
  if (!function) return {};
  wchar_t name[85];  // LOCALE_NAME_MAX_LENGTH
  const int length = reinterpret_cast<LcidToLocaleNameFn>(function)(MAKELCID(language, SORT_DEFAULT), name, 85, 0);
  return length > 1 ? Narrow(std::wstring_view(name, size_t(length - 1))) : std::string();
}

}  // namespace tastora
