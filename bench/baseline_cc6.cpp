// The common-controls floor: the bare window of baseline.cpp plus what any program with
// Common Controls 6 pays before it has drawn anything of its own. It carries the launcher's
// manifest, confines the DLL search and loads comctl32 at run time with the launcher's own
// code, calls InitCommonControls, and shows one push button.
#include <windows.h>

#include "win32/dll_search.h"
#include "win32/run_time_calls.h"

namespace {

constexpr int kClientWidth = 450;
constexpr int kClientHeight = 344;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

LRESULT CALLBACK FloorWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  kavrio::StartCommonControls();

  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = FloorWindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = "KavrioFloor";
  if (!RegisterClassA(&window_class)) return 1;

  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

  HWND window = CreateWindowExA(0, window_class.lpszClassName, "Kavrio", kStyle, left, top,
                                width, height, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  // The menu's exit button, where the menu has it, drawn by the version 6 button class.
  if (!CreateWindowExA(0, "BUTTON", "&Sair", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                       344, 304, 81, 33, window, reinterpret_cast<HMENU>(100), instance,
                       nullptr)) {
    return 1;
  }
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

// Entered without the C runtime's start-up code, and with the search confined first, as the
// launcher is.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
  kavrio::FindRunTimeCalls();
  kavrio::ConfineDllSearch();
  ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(),
                                        SW_SHOWDEFAULT)));
}
