// Real keyboard and mouse input, as a user gives it, to the foreground window.
#include "driver.h"

namespace launcher_driver {

namespace {

// Input that did not go in leaves the launcher where it was: the road then breaks on a
// window that never opens, and this says why.
void Send(INPUT& input, const wchar_t* what) {
  if (SendInput(1, &input, sizeof input) != 1) NoteFailedCall(what, CallFailed(L"SendInput"));
}

void SendKey(WORD key, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  Send(input, L"pressing a key");
}

void Settle() { Sleep(300); }

}  // namespace

void BringToFront(HWND window) {
  // SetForegroundWindow may refuse for a while; the loop asks again, and the input that
  // follows shows whether it came to the front.
  for (int attempt = 0; attempt < 40 && GetForegroundWindow() != window; ++attempt) {
    SetForegroundWindow(window);
    Sleep(50);
  }
}

void PressKey(WORD key) {
  SendKey(key, false);
  SendKey(key, true);
  Settle();
}

void PressAltKey(WORD key) {
  SendKey(VK_MENU, false);
  SendKey(key, false);
  SendKey(key, true);
  SendKey(VK_MENU, true);
  Settle();
}

void ClickCentre(HWND control) {
  RECT rect;
  if (!GetWindowRect(control, &rect)) {
    // Never a click at a place that is not the control's.
    NoteFailedCall(L"clicking a control", CallFailed(L"GetWindowRect"));
    return;
  }
  const int x = (rect.left + rect.right) / 2, y = (rect.top + rect.bottom) / 2;
  INPUT move = {};
  move.type = INPUT_MOUSE;
  move.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  move.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  Send(move, L"moving the mouse");
  Sleep(200);
  move.mi.dx += 20;
  Send(move, L"moving the mouse");
  Sleep(200);  // the pointer is over the button before it goes down
  for (DWORD flag : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
    INPUT press = {};
    press.type = INPUT_MOUSE;
    press.mi.dwFlags = flag;
    Send(press, L"clicking");
    Sleep(50);
  }
  Settle();
}

void CloseBox(HWND window) {
  if (!PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0)) {
    NoteFailedCall(L"closing a window", CallFailed(L"PostMessageW"));
  }
  Settle();
}

}  // namespace launcher_driver
