// Every Win32 call that the launcher finds at run time instead of importing, in one list.
// The exe imports only what Windows 98 SE has; these are newer, or on Windows 95, 98 and ME
// exist only as stubs that fail. The UTF-16 (W) calls are therefore found on the Windows NT
// line only (one GetVersion check): on 95 to ME they stay null and the callers keep to the
// ANSI calls. A null pointer means "not on this Windows", and each caller has its fallback.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace kavrio {

struct RunTimeCalls {
  // kernel32
  decltype(&::SetDefaultDllDirectories) SetDefaultDllDirectories;  // 8; Vista, 7 with KB2533623
  decltype(&::SetDllDirectoryA) SetDllDirectoryA;                  // XP SP1
  decltype(&::ActivateActCtx) ActivateActCtx;  // XP: side-by-side assemblies exist
  decltype(&::GetSystemWindowsDirectoryW) GetSystemWindowsDirectoryW;  // 2000; NT line only
  decltype(&::GetWindowsDirectoryW) GetWindowsDirectoryW;  // this and below: NT line only
  decltype(&::GetModuleFileNameW) GetModuleFileNameW;
  decltype(&::GetFileAttributesW) GetFileAttributesW;
  decltype(&::CreateProcessW) CreateProcessW;
  // user32
  decltype(&::GetDpiForWindow) GetDpiForWindow;                    // 10 1607
  decltype(&::AdjustWindowRectExForDpi) AdjustWindowRectExForDpi;  // 10 1607
  decltype(&::CreateWindowExW) CreateWindowExW;  // this and the next two: NT line only
  decltype(&::MessageBoxW) MessageBoxW;
  // gdi32
  decltype(&::GetTextExtentPoint32W) GetTextExtentPoint32W;
  // shell32, loaded from the system folder only when it is needed (FindShell32Calls)
  decltype(&::ShellExecuteExA) ShellExecuteExA;
  decltype(&::ShellExecuteExW) ShellExecuteExW;  // NT line only
  // comctl32, loaded at start after the DLL search is confined (FindComctl32Calls)
  void(WINAPI* InitCommonControls)();
};

// The calls of the DLLs that the exe imports (kernel32, user32, gdi32), found on first use.
const RunTimeCalls& Calls();

// Loads shell32 from the system folder, once, and finds its calls. False when it is not there.
bool FindShell32Calls();

// Loads the common controls (see LoadCommonControlsDll) and finds InitCommonControls. False
// when they are not there.
bool FindComctl32Calls();

}  // namespace kavrio
