// The layers include only what lies below them: the model knows nothing
// above it, the formats know the model and the ports, the system knows the
// formats, the application everything; a platform's implementation knows the
// ports it implements. Every file includes from the repository root, so this
// is where an upward include is caught.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace tastora {
namespace {

namespace fs = std::filesystem;

// The layer of a file or an include, by its path from the repository root.
std::string LayerOf(const std::string& path) {
  const size_t slash = path.find('/');
  if (slash == std::string::npos) return "";
  const std::string top = path.substr(0, slash);
  if (top == "platform") {
    for (const char* implementation : {"platform/offline/", "platform/win32/"})
      if (path.rfind(implementation, 0) == 0) return "platform implementation";
    return "platform";
  }
  return top;
}

const std::map<std::string, std::set<std::string>>& AllowedBelow() {
  static const std::map<std::string, std::set<std::string>> allowed = {
      {"model", {"model"}},
      {"format", {"format"}},
      {"platform", {"platform", "model"}},
      {"platform implementation", {"platform implementation", "platform", "model", "format"}},
      {"reader", {"reader", "model", "format", "platform"}},
      {"writer", {"writer", "model", "format", "platform"}},
      {"datafile", {"datafile", "model", "format", "platform"}},
      {"kbdfile", {"kbdfile", "model", "format", "platform"}},
      {"klcfile", {"klcfile", "model", "format", "platform"}},
      {"system", {"system", "reader", "writer", "datafile", "kbdfile", "klcfile", "model", "format", "platform"}},
      {"picture", {"picture", "model"}},
      {"widgets", {"widgets", "model", "platform"}},
      {"app",
       {"app", "picture", "widgets", "system", "reader", "writer", "datafile", "kbdfile", "klcfile", "model", "format",
        "platform",
        "platform implementation"}},
  };
  return allowed;
}

// Whether `file` may include `header`; headers outside the layers (the
// standard library's, a test's) are not the layers' business.
bool MayInclude(const std::string& file, const std::string& header) {
  const auto from = AllowedBelow().find(LayerOf(file));
  const std::string to = LayerOf(header);
  if (from == AllowedBelow().end() || !AllowedBelow().contains(to)) return true;
  return from->second.contains(to);
}

TEST(LayerIncludes, TheRuleItself) {
  const struct {
    const char* file;
    const char* header;
    bool allowed;
  } cases[] = {
      {"model/FontScripts.cpp", "model/CodePages.h", true},
      {"model/FontScripts.cpp", "platform/Platform.h", false},
      {"reader/CharacterTables.cpp", "format/KbdTables.h", true},
      {"reader/CharacterTables.cpp", "writer/TableParts.h", false},
      {"writer/LayoutTables.cpp", "system/LayoutInstaller.h", false},
      {"platform/Session.h", "model/ProcessState.h", true},
      {"platform/Session.h", "platform/offline/OfflineRoot.h", false},
      {"platform/offline/OfflineRoot.cpp", "platform/Session.h", true},
      {"platform/offline/OfflineRoot.cpp", "system/Locales.h", false},
      {"system/LayoutInstaller.cpp", "app/MainActions.h", false},
      {"app/cli/main.cpp", "platform/offline/HostFileSystem.h", true},
      {"app/MainActions.cpp", "system/LayoutInstaller.h", true},
      {"picture/LayoutPicture.cpp", "model/KeyTable.h", true},
      {"picture/LayoutPicture.cpp", "datafile/XmlReader.h", false},
  };
  for (const auto& c : cases) EXPECT_EQ(MayInclude(c.file, c.header), c.allowed) << c.file << " -> " << c.header;
}

TEST(LayerIncludes, NoFileIncludesALayerAboveIt) {
  const fs::path root = TASTORA_SOURCE_DIR;
  const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::vector<std::string> upward;
  size_t files = 0;
  for (const auto& [layer, below] : AllowedBelow()) {
    (void)below;
    const std::string folder = layer == "platform implementation" ? "" : layer;
    if (folder.empty() || !fs::exists(root / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      const std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
      const std::string file = fs::relative(entry.path(), root).generic_string();
      ++files;
      std::ifstream in(entry.path());
      for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, include) && !MayInclude(file, m[1].str()))
          upward.push_back(file + " includes " + m[1].str());
      }
    }
  }
  EXPECT_GT(files, 100u);
  EXPECT_EQ(upward, std::vector<std::string>{});
}

}  // namespace
}  // namespace tastora
