#include "win32/run_time_calls.h"

namespace kavrio {

namespace {

RunTimeCalls g_calls;

// The Windows NT line (NT 4, 2000 and later), where the W calls are real.
bool IsWindowsNt() { return (GetVersion() & 0x80000000u) == 0; }

// The one cast from GetProcAddress's FARPROC to the call's own type, through void(*)() so
// that GCC accepts it.
template <class Function>
void Find(HMODULE module, const char* name, Function* call) {
  const FARPROC address = module ? GetProcAddress(module, name) : nullptr;
  *call = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

void FindRunTimeCalls() {
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  HMODULE user32 = GetModuleHandleA("user32.dll");
  Find(kernel32, "SetDefaultDllDirectories", &g_calls.SetDefaultDllDirectories);
  Find(kernel32, "SetDllDirectoryA", &g_calls.SetDllDirectoryA);
  Find(kernel32, "ActivateActCtx", &g_calls.ActivateActCtx);
  Find(user32, "GetDpiForWindow", &g_calls.GetDpiForWindow);
  Find(user32, "AdjustWindowRectExForDpi", &g_calls.AdjustWindowRectExForDpi);
  if (!IsWindowsNt()) return;
  Find(kernel32, "GetSystemWindowsDirectoryW", &g_calls.GetSystemWindowsDirectoryW);
  Find(kernel32, "GetWindowsDirectoryW", &g_calls.GetWindowsDirectoryW);
  Find(kernel32, "GetModuleFileNameW", &g_calls.GetModuleFileNameW);
  Find(kernel32, "GetFileAttributesW", &g_calls.GetFileAttributesW);
  Find(kernel32, "CreateProcessW", &g_calls.CreateProcessW);
  Find(user32, "CreateWindowExW", &g_calls.CreateWindowExW);
  Find(user32, "MessageBoxW", &g_calls.MessageBoxW);
  Find(GetModuleHandleA("gdi32.dll"), "GetTextExtentPoint32W", &g_calls.GetTextExtentPoint32W);
}

void FindShell32Calls(HMODULE shell32) {
  Find(shell32, "ShellExecuteExA", &g_calls.ShellExecuteExA);
  if (IsWindowsNt()) Find(shell32, "ShellExecuteExW", &g_calls.ShellExecuteExW);
}

void FindComctl32Calls(HMODULE comctl32) {
  Find(comctl32, "InitCommonControls", &g_calls.InitCommonControls);
}

const RunTimeCalls& Calls() { return g_calls; }

}  // namespace kavrio
