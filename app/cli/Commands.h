#pragma once

#include <span>
#include <string>
#include <vector>

#include "app/ExitStatus.h"

namespace tastora {

struct CliCommand {
  const char* name;
  const char* synopsis;
  const char* summary;
  int (*run)(const std::vector<std::string>& args);
};

std::span<const CliCommand> CliCommands();

int RunBuild(const std::vector<std::string>& args);
int RunCreate(const std::vector<std::string>& args);
int RunInstall(const std::vector<std::string>& args);
int RunNew(const std::vector<std::string>& args);
int RunRestore(const std::vector<std::string>& args);
int RunRemove(const std::vector<std::string>& args);
// The Windows program's own forms: "POS FILE" and "TEMPLATE FILE LANG NAME".
int RunPositional(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);
int RunInit(const std::vector<std::string>& args);
int RunList(const std::vector<std::string>& args);
int RunKeys(const std::vector<std::string>& args);
int RunPicture(const std::vector<std::string>& args);

}  // namespace tastora
