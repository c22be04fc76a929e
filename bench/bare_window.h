// What both baselines are made of: one window like the launcher's (450 x 344 client pixels,
// fixed single border, caption "Kavrio", centred) and a message loop until it closes.
#pragma once

#include <windows.h>

namespace bare_window {

inline LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// Registers `className` and makes its window, hidden; null when either fails.
inline HWND Open(HINSTANCE instance, const char* className) {
  constexpr int kClientWidth = 450;
  constexpr int kClientHeight = 344;
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className;
  if (!RegisterClassA(&windowClass)) return nullptr;

  // Outer size for the wanted client size, then centred on the screen.
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  return CreateWindowExA(0, className, "Kavrio", kStyle, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                         (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr,
                         nullptr, instance, nullptr);
}

// Shows the window and runs the message loop until it is closed.
inline int ShowAndRun(HWND window, int show) {
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

}  // namespace bare_window
