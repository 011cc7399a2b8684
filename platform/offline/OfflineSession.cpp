#include "platform/offline/OfflineSession.h"

#include "platform/offline/NoInputLanguageApi.h"
#include "platform/offline/OfflineFileLoader.h"
#include "platform/offline/OfflineProfile.h"
#include "platform/offline/OfflineRegistry.h"
#include "platform/offline/OfflineSystemFiles.h"
#include "platform/offline/RootMachine.h"

namespace tastora {

WindowsVersion OfflineSession::Version() {
  auto key = registry_.Open(RootKey::hkCurrentUser, kWineVersionKey, false);
  if (!key) return WindowsVersion{};
  const auto value = key->QueryValue(kWineVersionValue);
  if (!value || value->type != kRegSz) return WindowsVersion{};
  std::string name(value->bytes.begin(), value->bytes.end());
  name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
  return VersionOfWineName(name);
}

bool OfflineSession::EndSession(ExitMode mode) {
  ++(mode == ExitMode::LogOff ? logOffRequests : restartRequests);
  return true;
}

bool PlatformUsesRootFolder() { return true; }

std::optional<SystemPorts> OpenSystem(const std::string& rootDir, CodePages& codePages, Dialogs& dialogs,
                                      std::string& error) {
  const OfflineRoot root(rootDir);
  if (!root.IsRoot()) {
    error = rootDir + " is not a Windows root (system.reg, user.reg and drive_c/windows are needed)";
    return std::nullopt;
  }
  auto registry = std::make_unique<OfflineRegistry>(root, codePages, dialogs);
  if (!registry->Load(error)) return std::nullopt;
  SystemPorts ports;
  ports.session = std::make_unique<OfflineSession>(*registry);
  ports.registry = std::move(registry);
  ports.profile = std::make_unique<OfflineProfile>(root);
  // Handles on one set of files, so that all of them follow one switch.
  auto files =
      std::make_unique<OfflineSystemFiles>(root, ports.session->Version(), RootMachine(*ports.registry, root));
  ports.files = files->Share();
  ports.writer = files->Share();
  ports.loader = std::make_unique<OfflineFileLoader>(files->Share());
  ports.systemFiles = std::move(files);
  ports.lock = OpenActionLock(rootDir);
  ports.inputLanguages = std::make_unique<NoInputLanguageApi>();
  return ports;
}

bool CreateWindowsRoot(const std::string& rootDir, RootWindows windows, std::string& error) {
  return OfflineRoot::Create(rootDir, windows, error);
}

}  // namespace tastora
