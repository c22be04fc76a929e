// Every Win32 call that the launcher finds at run time instead of importing, in one list.
// The exe imports only what Windows 98 SE has: these are newer than that, or the UTF-16 (W)
// forms of calls whose ANSI forms it imports. The W calls are found on the Windows NT line
// only (one GetVersion check): on 95 to ME most of them are stubs that fail, and where they
// are real (MessageBoxW, GetTextExtentPoint32W) the A calls do the same with the texts as
// they are. A null pointer means "not on this Windows"; text_calls.h makes the choice.
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
  // shell32, loaded from the system folder only when it is needed (LoadShell32)
  decltype(&::ShellExecuteExA) ShellExecuteExA;
  decltype(&::ShellExecuteExW) ShellExecuteExW;  // NT line only
  // comctl32, loaded at start after the DLL search is confined (StartCommonControls)
  void(WINAPI* InitCommonControls)();
};

// Finds the calls of the DLLs that the exe imports (kernel32, user32, gdi32). Run once,
// first thing at entry: until then every call counts as missing.
void FindRunTimeCalls();
// Finds the calls of shell32 and of the common controls in a module of theirs, once the
// module is loaded; a null module finds nothing.
void FindShell32Calls(HMODULE shell32);
void FindComctl32Calls(HMODULE comctl32);

const RunTimeCalls& Calls();

}  // namespace kavrio
