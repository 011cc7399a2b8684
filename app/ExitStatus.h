#pragma once
// The exit status of the programs: the same numbers from the command line
// and from the windowed program's command-line forms.

#include "system/LayoutInstaller.h"

namespace tastora {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 3;  // a question was answered No

inline int ExitStatus(InstallResult result) {
  switch (result) {
    case InstallResult::Installed: return kExitOk;
    case InstallResult::Cancelled: return kExitCancelled;
    case InstallResult::Failed: break;
  }
  return kExitFailure;
}

}  // namespace tastora
