#include "windows/form.h"

#include <cstring>

#include "launch/funcoes.h"
#include "launch/launch_folder.h"

namespace kavrio {

void StartInstaller(const LaunchContext& launch, const char* suffix) {
  char path[kMaxPath];
  // A path that does not fit is a program that cannot be started: nothing is reported.
  if (JoinInstallerPath(launch.launchFolder, suffix, path, sizeof path)) {
    RunProgram(launch.process, path, kDoNotWait);
  }
}

std::size_t ControlIndex(const FormSpec& form, const char* name) {
  for (std::size_t i = 0; i < form.controlCount; ++i) {
    if (std::strcmp(form.controls[i].name, name) == 0) return i;
  }
  return form.controlCount;
}

}  // namespace kavrio
