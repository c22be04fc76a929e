// The program's entry point, used in place of the C runtime's start-up code. The launcher
// uses no C runtime state (no arguments, environment, static constructors, atexit or
// floating point), and leaving that code out keeps the exe at the size of a bare program.
#include <windows.h>

#include "win32/dll_search.h"
#include "win32/run_time_calls.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

// The linker's default entry for a GUI program. Windows enters it with a 4-byte aligned stack.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
  // Before anything can load a DLL: none may come from the launch folder.
  kavrio::FindRunTimeCalls();
  kavrio::ConfineDllSearch();
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), show)));
}
