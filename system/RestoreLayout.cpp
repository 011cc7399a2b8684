#include "system/RestoreLayout.h"

#include "system/NewKbd.h"
#include "system/RegistryEnhanced.h"

namespace tastora {
namespace {

std::string FolderOf(SystemFiles& files) {
  std::string folder = files.SystemDirectory();
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

}  // namespace

bool RestoreLayout(TLocales& catalogue, int position, const RestorePorts& ports) {
  if (position < 0 || position >= catalogue.Count()) return false;
  const LayoutEntry entry = catalogue.Get(position);
  const std::string installed = entry.LayoutFile.Str();
  if (installed.size() < 2 || installed[1] != '_') {
    ports.dialogs.ShowMessage(kNotFromSystemLayout);
    return false;
  }
  // Any prefix letter: l_, o_ and x_ all name the same system file.
  const std::string restored = installed.substr(2);

  // The name comes from the registry and is joined to the system folder.
  std::string problem = FileNameProblem(installed);
  if (problem.empty()) problem = FileNameProblem(restored);
  if (!problem.empty()) {
    ports.dialogs.ShowWarning("The layout file " + ShownFileName(installed) + " is not a file name in the system " +
                              "folder (" + problem + "), so the layout cannot be restored!");
    return false;
  }
  SystemFiles& files = ports.files;
  auto missingIn = [&](const std::string& folder) {
    ports.dialogs.ShowWarning("The original layout file " + folder + restored + " is missing, so the layout " +
                              "cannot be restored to it!");
    return false;
  };
  if (!files.FileExists(FolderOf(files) + restored)) return missingIn(FolderOf(files));
  {
    RedirectionOff off(files);
    if (off.Succeeded() && !files.FileExists(FolderOf(files) + restored)) return missingIn(FolderOf(files));
  }

  if (!ports.dialogs.AskYesNoCaptioned(kRestoreQuestion, kRestoreCaption)) return false;

  TRegistryEnhanced machine(ports.registry, RootKey::hkLocalMachine);
  machine.SetKey(std::string(kLayoutsKey) + "\\" + entry.EffectiveKlid());
  if (!machine.WriteValue("Layout File", restored)) {
    ports.dialogs.ShowWarning("Could not write the registration of the layout " + entry.EffectiveKlid() +
                              ", so the layout was not restored!");
    return false;
  }
  catalogue.SetLayoutFile(entry, restored);
  ports.dialogs.ShowMessage(kRestored);
  return true;
}

}  // namespace tastora
