#pragma once
// The language list through input.dll, loaded from the system folder only:
// a library of that name anywhere else on the search path is never used.

#include <windows.h>

#include "platform/InputLanguageApi.h"

namespace tastora {

class Win32InputLanguageApi final : public InputLanguageApi {
 public:
  Win32InputLanguageApi() = default;
  ~Win32InputLanguageApi() override;
  Win32InputLanguageApi(const Win32InputLanguageApi&) = delete;
  Win32InputLanguageApi& operator=(const Win32InputLanguageApi&) = delete;

  std::optional<bool> InstallLayoutOrTip(std::string_view list, uint32_t flags) override;
  std::string LanguageTag(uint16_t language) override;

 private:
  HMODULE input_ = nullptr;
  bool looked_ = false;
};

}  // namespace tastora
