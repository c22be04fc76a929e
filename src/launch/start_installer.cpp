#include "launch/start_installer.h"

#include "launch/funcoes.h"
#include "launch/launch_folder.h"

namespace kavrio {

void StartInstaller(const LaunchContext& launch, const char16_t* suffix) {
  char16_t path[kMaxPath];
  // A path that cannot be built is a program that cannot be started: nothing is reported.
  if (JoinInstallerPath(launch.launchFolder, suffix, path, kMaxPath)) {
    RunProgram(launch.process, path, kDoNotWait);
  }
}

}  // namespace kavrio
