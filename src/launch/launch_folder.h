#pragma once

// The launch folder (the folder of the launcher's own file) and the installer
// paths built from it. All texts are ANSI and live in fixed caller buffers.

#include <cstddef>

#include "launch/process_port.h"

namespace kavrio {

inline constexpr std::size_t kMaxPath = 260;  // MAX_PATH, NUL included

// Appended to the launch folder; each begins with a separator.
inline constexpr char kHomeSetupSuffix[] = "\\Setup.exe";
inline constexpr char kSupportAgentSetupSuffix[] =
    "\\Agente Plimox\\Instalador Assistente Kavrio.exe";
inline constexpr char kBrowserSetupSuffix[] = "\\Internet Explorer 5.5\\ie5setup.exe";

// "D:\kavrio.exe" gives "D:\", "D:\CD\kavrio.exe" gives "D:\CD" and
// "\\srv\share\kavrio.exe" gives "\\srv\share": the closing separator stays
// only at a drive root. False (and out empty) for a name without a folder or
// when out is too small.
bool LaunchFolderFromModuleFileName(const char* moduleFileName, char* out, std::size_t outSize);

// out = folder + suffix. False (and out empty) when it doesn't fit.
bool JoinInstallerPath(const char* folder, const char* suffix, char* out, std::size_t outSize);

// The launch folder of the running program, from GetModuleFileName.
bool CurrentLaunchFolder(ProcessPort& os, char* out, std::size_t outSize);

}  // namespace kavrio
