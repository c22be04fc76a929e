#include "win32/run_time_calls.h"

#include "win32/dll_search.h"

namespace kavrio {

namespace {

RunTimeCalls g_calls;
bool g_found = false;

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

const RunTimeCalls& Calls() {
  if (g_found) return g_calls;
  g_found = true;
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  HMODULE user32 = GetModuleHandleA("user32.dll");
  Find(kernel32, "SetDefaultDllDirectories", &g_calls.SetDefaultDllDirectories);
  Find(kernel32, "SetDllDirectoryA", &g_calls.SetDllDirectoryA);
  Find(kernel32, "ActivateActCtx", &g_calls.ActivateActCtx);
  Find(user32, "GetDpiForWindow", &g_calls.GetDpiForWindow);
  Find(user32, "AdjustWindowRectExForDpi", &g_calls.AdjustWindowRectExForDpi);
  if (!IsWindowsNt()) return g_calls;
  Find(kernel32, "GetSystemWindowsDirectoryW", &g_calls.GetSystemWindowsDirectoryW);
  Find(kernel32, "GetWindowsDirectoryW", &g_calls.GetWindowsDirectoryW);
  Find(kernel32, "GetModuleFileNameW", &g_calls.GetModuleFileNameW);
  Find(kernel32, "GetFileAttributesW", &g_calls.GetFileAttributesW);
  Find(kernel32, "CreateProcessW", &g_calls.CreateProcessW);
  Find(user32, "CreateWindowExW", &g_calls.CreateWindowExW);
  Find(user32, "MessageBoxW", &g_calls.MessageBoxW);
  Find(GetModuleHandleA("gdi32.dll"), "GetTextExtentPoint32W", &g_calls.GetTextExtentPoint32W);
  return g_calls;
}

bool FindShell32Calls() {
  if (g_calls.ShellExecuteExA) return true;
  // It stays loaded: the shell may still be working for the program that it started.
  HMODULE shell32 = LoadSystemDll("shell32.dll");
  Find(shell32, "ShellExecuteExA", &g_calls.ShellExecuteExA);
  if (IsWindowsNt()) Find(shell32, "ShellExecuteExW", &g_calls.ShellExecuteExW);
  return g_calls.ShellExecuteExA != nullptr;
}

bool FindComctl32Calls() {
  if (!g_calls.InitCommonControls) {
    Find(LoadCommonControlsDll(), "InitCommonControls", &g_calls.InitCommonControls);
  }
  return g_calls.InitCommonControls != nullptr;
}

}  // namespace kavrio
