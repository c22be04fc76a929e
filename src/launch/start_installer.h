#pragma once

// What the windows use to start an installer that lies on the CD.

#include "launch/process_port.h"

namespace kavrio {

struct LaunchContext {
  ProcessPort& process;
  const char16_t* launchFolder;  // "" when it could not be known
};

// Starts launch folder + suffix without waiting (the result is not used). Nothing starts
// when the launch folder is unknown or not absolute, or when the path does not fit.
void StartInstaller(const LaunchContext& launch, const char16_t* suffix);

}  // namespace kavrio
