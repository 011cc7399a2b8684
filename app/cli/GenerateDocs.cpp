// tastora-docs OUTDIR: writes the manual page and the shell completions made
// from the command table, for the build to install beside the program.

#include <cstdio>
#include <fstream>
#include <string>

#include "app/cli/ManPage.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tastora-docs OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const struct {
    const char* name;
    std::string text;
  } files[] = {
      {"tastora.1", tastora::ManPage(TASTORA_VERSION)},
      {"tastora.bash", tastora::BashCompletion()},
      {"_tastora", tastora::ZshCompletion()},
  };
  for (const auto& file : files) {
    std::ofstream out(dir + "/" + file.name, std::ios::binary);
    out << file.text;
    if (!out.flush()) {
      std::fprintf(stderr, "tastora-docs: could not write %s/%s\n", dir.c_str(), file.name);
      return 1;
    }
  }
  return 0;
}
