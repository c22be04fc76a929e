#pragma once

// The launch folder (the folder of the launcher's own file) and the installer
// paths built from it. All texts are UTF-16 and live in fixed-capacity texts.

#include "launch/fixed_text.h"
#include "launch/process_port.h"

namespace kavrio {

// Appended to the launch folder; each begins with a separator.
inline constexpr char16_t kHomeSetupSuffix[] = u"\\Setup.exe";
inline constexpr char16_t kSupportAgentSetupSuffix[] =
    u"\\Agente Plimox\\Instalador Assistente Kavrio.exe";
inline constexpr char16_t kBrowserSetupSuffix[] = u"\\Internet Explorer 5.5\\ie5setup.exe";

bool IsDriveLetter(char16_t c);  // A to Z, a to z

// "D:\kavrio.exe" gives "D:\", "D:\CD\kavrio.exe" gives "D:\CD" and
// "\\srv\share\kavrio.exe" gives "\\srv\share": the closing separator stays
// only at a drive root. False (and out empty) for a name without a folder or
// when the folder does not fit.
bool LaunchFolderFromModuleFileName(const char16_t* moduleFileName, PathText& out);

// True for a folder that names one place whatever the current drive and folder are: a
// drive letter with its root ("D:\", "D:\CD") or a network or device path ("\\srv\share",
// "\\?\D:\"). "", "\CD" and "D:CD" depend on them.
bool IsAbsoluteFolder(const char16_t* folder);

// out = folder + suffix. False (and out empty) when the folder is not absolute, so that no
// installer path is ever resolved against the current drive, or when it doesn't fit.
bool JoinInstallerPath(const char16_t* folder, const char16_t* suffix, PathText& out);

// The launch folder of the running program, from GetModuleFileNameW. False (and out empty)
// when it cannot be known.
bool CurrentLaunchFolder(ProcessPort& os, PathText& out);

}  // namespace kavrio
