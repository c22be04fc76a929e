#pragma once

// Funções: starting an installer from the CD.

#include <cstdint>

#include "launch/fixed_text.h"
#include "launch/process_port.h"

namespace kavrio {

inline constexpr std::int16_t kDoNotWait = 1;  // any other wait mode waits for the end
inline constexpr std::int32_t kNotStarted = -1;

// Collapses each pair of consecutive "\" to one, scanning from the start
// without overlap (a run of three or four becomes two). The leading "\\" of a
// network path is kept. False (and out empty) when the result does not fit.
bool CleanProgramPath(const char16_t* path, PathText& out);

// Starts the program at programPath (cleaned first) with working folder "C:\"
// or, without one, the root of the drive that holds Windows. Returns
// kStillActive (259) while it runs under kDoNotWait, its exit code once it has
// ended, and kNotStarted (-1) when nothing started or no exit code could be read.
std::int32_t RunProgram(ProcessPort& os, const char16_t* programPath, std::int16_t waitMode);

// What the windows use to start an installer that lies on the CD.
struct LaunchContext {
  ProcessPort& process;
  const char16_t* launchFolder;  // "" when it could not be known
};

// Starts launch folder + suffix without waiting (the result is not used). Nothing starts
// when the launch folder is unknown or not absolute, or when the path does not fit.
void StartInstaller(const LaunchContext& launch, const char16_t* suffix);

}  // namespace kavrio
