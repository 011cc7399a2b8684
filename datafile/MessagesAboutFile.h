#pragma once
// Messages about one file name it: the text stays as it is, and the file's
// name follows on a line of its own, so that a reader of the messages (a
// terminal's error stream, a log) knows which file they are about.

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace tastora {

class MessagesAboutFile final : public Dialogs {
 public:
  MessagesAboutFile(Dialogs& inner, std::string_view fileName) : inner_(inner), fileName_(fileName) {}

  void ShowMessage(std::string_view text) override { inner_.ShowMessage(Named(text)); }
  void ShowWarning(std::string_view text) override { inner_.ShowWarning(Named(text)); }
  void ShowError(std::string_view text, std::string_view caption) override { inner_.ShowError(Named(text), caption); }
  bool AskYesNo(std::string_view text) override { return inner_.AskYesNo(text); }
  bool AskYesNoCaptioned(std::string_view text, std::string_view caption) override {
    return inner_.AskYesNoCaptioned(text, caption);
  }
  bool ShowDuplicateKeys(const DuplicateKeyPair& pair) override { return inner_.ShowDuplicateKeys(pair); }

 private:
  std::string Named(std::string_view text) const { return std::string(text) + "\r" + fileName_; }

  Dialogs& inner_;
  std::string fileName_;
};

}  // namespace tastora
