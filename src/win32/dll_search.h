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
// searched; a full path would bypass it and load version 5. So the name is used where that
// redirection exists (XP on), and where the search is confined as well; the full path where
// neither is there (98, ME, 2000).
//
// The system DLLs that the common controls load late by their bare names (uxtheme, and
// msimg32, which uxtheme loads in its turn) are loaded first from the system folder, so that
// those loads find them already there. Where the search cannot be confined (XP, and Vista
// and 7 without KB2533623), they would look in the program's folder first; Wine's delay-load
// resolution looks there even when it is confined.
void StartCommonControls();

// Loads shell32 from the system folder, once, and finds its calls. False when it is not there.
bool LoadShell32();

}  // namespace kavrio
