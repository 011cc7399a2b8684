#pragma once

#include <span>
#include <string>
#include <vector>

namespace tastora {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 3;

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
// The Windows program's own forms: "POS FILE" and "TEMPLATE FILE LANG NAME".
int RunPositional(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);
int RunInit(const std::vector<std::string>& args);
int RunList(const std::vector<std::string>& args);
int RunKeys(const std::vector<std::string>& args);

}  // namespace tastora
