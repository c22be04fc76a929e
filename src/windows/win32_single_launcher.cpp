#include "windows/win32_single_launcher.h"

#include <windows.h>

#include "windows/win32_window_system.h"

namespace kavrio {

namespace {

// Local to the user's session on the NT line: each logged-on user has a launcher of their own.
constexpr char kMutexName[] = "Kavrio.Launcher.Running";

struct LauncherSearch {
  DWORD self;
  HWND found;
};

BOOL CALLBACK OnTopLevelWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<LauncherSearch*>(param);
  char className[32] = "";
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->self && IsWindowVisible(window) &&
      GetClassNameA(window, className, sizeof className) > 0 &&
      lstrcmpA(className, kFormClassName) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool ClaimSingleLauncher() {
  // The handle is never closed: the system releases it when the program ends.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
  const DWORD error = GetLastError();
  // Access denied: another user's launcher (an elevated one) holds it in this session.
  return !((mutex && error == ERROR_ALREADY_EXISTS) || (!mutex && error == ERROR_ACCESS_DENIED));
}

void BringRunningLauncherToFront() {
  LauncherSearch search = {GetCurrentProcessId(), nullptr};
  EnumWindows(OnTopLevelWindow, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return;
  if (IsIconic(search.found)) ShowWindow(search.found, SW_RESTORE);
  SetForegroundWindow(GetLastActivePopup(search.found));
}

}  // namespace kavrio
