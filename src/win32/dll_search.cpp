#include "win32/dll_search.h"

#include "common/limits.h"
#include "win32/run_time_calls.h"

namespace kavrio {

void ConfineDllSearch() {
  const RunTimeCalls& calls = Calls();
  if (calls.SetDefaultDllDirectories &&
      calls.SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return;
  }
  if (calls.SetDllDirectoryA) calls.SetDllDirectoryA("");
}

HMODULE LoadSystemDll(const char* name) {
  char path[kMaxPath];
  const UINT folderLength = GetSystemDirectoryA(path, kMaxPath);
  const int nameLength = lstrlenA(name);
  if (folderLength == 0 || folderLength + 1 + nameLength >= kMaxPath) return nullptr;
  path[folderLength] = '\\';
  lstrcpynA(path + folderLength + 1, name, static_cast<int>(kMaxPath - folderLength - 1));
  return LoadLibraryA(path);
}

void StartCommonControls() {
  // Missing ones (Windows 98 has no uxtheme) are simply not loaded.
  LoadSystemDll("uxtheme.dll");
  LoadSystemDll("msimg32.dll");
  FindComctl32Calls(Calls().ActivateActCtx ? LoadLibraryA("comctl32.dll")
                                           : LoadSystemDll("comctl32.dll"));
  if (Calls().InitCommonControls) Calls().InitCommonControls();
}

bool LoadShell32() {
  // It stays loaded: the shell may still be working for the program that it started.
  if (!Calls().ShellExecuteExA) FindShell32Calls(LoadSystemDll("shell32.dll"));
  return Calls().ShellExecuteExA != nullptr;
}

}  // namespace kavrio
