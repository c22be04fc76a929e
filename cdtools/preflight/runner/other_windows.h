// The windows that a run opened besides the launcher's forms and the installer's: an error
// report, a crash dialog.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "installer_watch.h"

namespace preflight {

// Each visible window that was not there `before`, as "\"<title>\": <its texts>".
std::vector<std::wstring> OtherWindows(const std::vector<HWND>& before, DWORD launcherId,
                                       InstallerWatch& installer);

}  // namespace preflight
