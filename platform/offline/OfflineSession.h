#pragma once
// The session on a Windows root: the version is the root's, the user is an
// administrator of it, and there is no desktop: log-off requests are counted,
// documents are not opened, and no other instance has a window.

#include "platform/RegistryBackend.h"
#include "platform/Session.h"
#include "platform/offline/OfflineRoot.h"

namespace tastora {

class OfflineSession final : public Session {
 public:
  explicit OfflineSession(RegistryBackend& registry) : registry_(registry) {}

  // Read from the root's registry at every call, as it may change.
  WindowsVersion Version() override;
  bool IsAdministrator() override { return true; }
  bool EndSession(ExitMode mode) override;
  bool OpenDocument(const std::string&) override { return false; }
  bool ActivateWindowOfClass(const std::string&) override { return false; }

  int logOffRequests = 0;
  int restartRequests = 0;

 private:
  RegistryBackend& registry_;
};

}  // namespace tastora
