#pragma once
// The running Windows session.

#include "platform/Session.h"

namespace tastora {

class Win32Session final : public Session {
 public:
  WindowsVersion Version() override;
  bool IsAdministrator() override;
  bool EndSession(ExitMode mode) override;
  bool OpenDocument(const std::string& path) override;
  bool ActivateWindowOfClass(const std::string& windowClass) override;
};

}  // namespace tastora
