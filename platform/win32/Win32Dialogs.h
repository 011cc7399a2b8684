#pragma once
// Message boxes of the Windows program: the texts are UTF-8 and a carriage
// return is a line break. The boxes are owned by the window set as owner,
// so that they stay in front of it and block it.

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace tastora {

class Win32Dialogs : public Dialogs {
 public:
  explicit Win32Dialogs(std::string title = "Tastora");

  // The owner of every box from now on (an HWND; null: no owner).
  void SetOwner(void* window) { owner_ = window; }
  void* Owner() const { return owner_; }

  void ShowMessage(std::string_view text) override;
  void ShowWarning(std::string_view text) override;
  void ShowError(std::string_view text, std::string_view caption) override;
  bool AskYesNo(std::string_view text) override;
  bool AskYesNoCaptioned(std::string_view text, std::string_view caption) override;

 protected:
  // MessageBoxW with the owner; `flags` are its MB_ flags. Returns its answer.
  int Box(std::string_view text, std::string_view caption, unsigned flags);

 private:
  std::string title_;
  void* owner_ = nullptr;
};

// The text as a message box shows it: UTF-16, every lone "\r" or "\n" a "\r\n".
std::wstring MessageBoxText(std::string_view text);

}  // namespace tastora
