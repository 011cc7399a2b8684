#include "app/LayoutPictures.h"

#include <cstdio>
#include <memory>

#include "app/ExportLayout.h"
#include "app/MainActions.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "picture/LayoutPicture.h"
#include "system/Locales.h"
#include "system/NewKbd.h"

namespace tastora {
namespace {

std::string Picture(const KeyboardLayout& layout, const PictureTitle& title, std::optional<KeyboardShape> shape) {
  return LayoutPicture(layout, title, shape ? *shape : ShapeOfLayout(layout));
}

}  // namespace

std::string LanguageOfLayout(const KeyboardLayout& layout) {
  if (layout.lcid == 0) return "";
  char id[8];
  std::snprintf(id, sizeof id, "%04X", static_cast<unsigned>(layout.lcid));
  return TLocales::LanguageNameOf(id);
}

std::optional<std::string> PictureOfLayoutFile(const std::string& path, std::optional<KeyboardShape> shape,
                                               ProcessState& state, const LayoutSourcePorts& ports) {
  auto layout = std::make_unique<KeyboardLayout>();
  if (!ReadAnyLayoutFile(path, *layout, state, ports)) return std::nullopt;
  return Picture(*layout, {LayoutNameOfPath(path), LanguageOfLayout(*layout)}, shape);
}

std::optional<std::string> PictureOfCatalogueEntry(SystemPorts& system, CodePages& codePages, Dialogs& dialogs,
                                                   int position, std::optional<KeyboardShape> shape) {
  auto state = std::make_unique<ProcessState>();
  state->unattended = true;
  MainActions actions(system, codePages, dialogs, *state);
  actions.Start();
  const TLocales& catalogue = actions.Catalogue();
  if (position < 0 || position >= catalogue.Count()) {
    dialogs.ShowError("There is no layout at position " + std::to_string(position) + " of the catalogue (0 to " +
                          std::to_string(catalogue.Count() - 1) + ").",
                      "Error");
    return std::nullopt;
  }
  const LayoutEntry entry = catalogue.Get(position);
  // The registry's word, not the catalogue's copy of it, which a longer name was cut to.
  const std::string file = actions.RegisteredFile(position);
  if (const std::string problem = FileNameProblem(file); !problem.empty()) {
    dialogs.ShowError("The layout file name " + ShownFileName(file) + " of " + entry.LayoutText.Str() +
                          " is not a file name in the system folder: " + problem + ".",
                      "Error");
    return std::nullopt;
  }
  const std::string path = system.systemFiles->SystemDirectory() + "\\" + file;
  auto layout = std::make_unique<KeyboardLayout>();
  if (!ReadAnyLayoutFile(path, *layout, *state, LayoutSourcePorts{*system.files, dialogs, codePages, *system.loader}))
    return std::nullopt;
  const std::string name = entry.LayoutText.Empty() ? LayoutNameOfPath(file) : entry.LayoutText.Str();
  return Picture(*layout, {name, entry.LanguageName.Str()}, shape);
}

}  // namespace tastora
