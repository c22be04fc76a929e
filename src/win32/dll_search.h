// Where the launcher's DLLs come from. A CD copied to a writable folder (Downloads, a network
// share) may carry a planted DLL beside kavrio.exe: the search keeps to the system folder.
#pragma once

#include <windows.h>

namespace kavrio {

// First thing at entry, once the calls are found. Where this Windows can say so, DLLs are
// searched for in the system folder only (SetDefaultDllDirectories: Windows 8, and Vista and
// 7 with KB2533623); otherwise the current folder leaves the search (SetDllDirectoryA(""):
// XP SP1 on). Windows 95 to ME have no privilege boundary to defend, and get nothing.
void ConfineDllSearch();

// LoadLibrary of the system folder's own copy of `name`, by its full path.
HMODULE LoadSystemDll(const char* name);

// Loads the common controls and calls their InitCommonControls. The manifest asks for
// version 6, which side-by-side redirection finds from the bare name before any folder is
// searched (a full path would load version 5): so the bare name where that redirection
// exists (XP on), the full path where it does not (98, ME, 2000).
// The DLLs that the common controls load late by their bare names (uxtheme, and msimg32,
// which uxtheme loads) are loaded first from the system folder, so those loads find them
// there: where the search cannot be confined (XP, Vista and 7 without KB2533623), they would
// look in the program's folder first, and Wine's delay loads look there even when it is.
void StartCommonControls();

// Loads shell32 from the system folder, once, and finds its calls. False when it is not there.
bool LoadShell32();

}  // namespace kavrio
