#include <windows.h>

#include <string>
#include <vector>

#include "app/win32/GuiContext.h"
#include "app/win32/GuiDialogs.h"
#include "platform/win32/WideText.h"

namespace tastora::gui {
namespace {

constexpr char kHelpPage[] = "DOC\\index.html";

// The folder of the running program, with its trailing backslash.
std::string ProgramFolder() {
  wchar_t path[MAX_PATH * 2] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return "";
  return FolderOf(Narrow(path));
}

// "C:\Tastora\x64\" -> "C:\Tastora\"; empty at a drive's root.
std::string ParentFolder(const std::string& folder) {
  if (folder.size() < 2) return "";
  const size_t slash = folder.find_last_of("\\/", folder.size() - 2);
  return slash == std::string::npos ? "" : folder.substr(0, slash + 1);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// The pages lie in the folder the settings name, else beside the program;
// the 64-bit program of the archive sits one folder down, in "x64".
void OpenHelp(GuiContext& context) {
  std::vector<std::string> folders;
  if (!context.actions.settings().programFolder.empty()) folders.push_back(context.actions.settings().programFolder);
  const std::string program = ProgramFolder();
  if (!program.empty()) {
    folders.push_back(program);
    folders.push_back(ParentFolder(program));
  }
  for (const std::string& folder : folders)
    if (!folder.empty() && FileExists(folder + kHelpPage)) {
      if (!context.session.OpenDocument(folder + kHelpPage))
        context.dialogs.ShowError("The help pages could not be opened: " + folder + kHelpPage, "Help");
      return;
    }
  context.dialogs.ShowError(std::string("The help pages were not found: ") + (folders.empty() ? "" : folders.front()) +
                                kHelpPage,
                            "Help");
}

}  // namespace tastora::gui
