// The floor that the launcher is measured against: a bare Win32 program that opens one window
// like the launcher's and runs a message loop until it closes.
#include <windows.h>

#include "bare_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  HWND window = bare_window::Open(instance, "KavrioBaseline");
  return window ? bare_window::ShowAndRun(window, show) : 1;
}

// Entered without the C runtime's start-up code, as the launcher is.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
  ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(),
                                        SW_SHOWDEFAULT)));
}
