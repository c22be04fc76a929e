// The common-controls floor: the bare window of baseline.cpp plus what any program with
// Common Controls 6 pays before it has drawn anything of its own. It carries the launcher's
// manifest, confines the DLL search and loads comctl32 at run time with the launcher's own
// code, calls InitCommonControls, and shows one push button.
#include <windows.h>

#include "bare_window.h"
#include "win32/dll_search.h"
#include "win32/run_time_calls.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  kavrio::StartCommonControls();
  HWND window = bare_window::Open(instance, "KavrioFloor");
  if (!window) return 1;
  // The menu's exit button, where the menu has it, drawn by the version 6 button class.
  if (!CreateWindowExA(0, "BUTTON", "&Sair", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                       344, 304, 81, 33, window, reinterpret_cast<HMENU>(100), instance,
                       nullptr)) {
    return 1;
  }
  return bare_window::ShowAndRun(window, show);
}

// Entered without the C runtime's start-up code, with the calls found and the search confined
// first, as the launcher is.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
  kavrio::FindRunTimeCalls();
  kavrio::ConfineDllSearch();
  ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(),
                                        SW_SHOWDEFAULT)));
}
