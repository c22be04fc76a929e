#include "windows/win32_single_launcher.h"

#include <windows.h>

#include "windows/win32_window_system.h"

namespace kavrio {

namespace {

// Local to the user's session on the NT line: each logged-on user has a launcher of their own.
constexpr char kMutexName[] = "Kavrio.Launcher.Running";

}  // namespace

bool ClaimSingleLauncher() {
  // The handle is never closed: the system releases it when the program ends.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
  const DWORD error = GetLastError();
  // Access denied: another user's launcher (an elevated one) holds it in this session.
  return !((mutex && error == ERROR_ALREADY_EXISTS) || (!mutex && error == ERROR_ACCESS_DENIED));
}

void BringRunningLauncherToFront() {
  // This launcher has no window yet: a form's window is the other launcher's.
  HWND other = FindWindowA(kFormClassName, nullptr);
  if (!other) return;
  if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
  SetForegroundWindow(GetLastActivePopup(other));
}

}  // namespace kavrio
