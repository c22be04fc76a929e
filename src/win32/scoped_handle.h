// Owners of kernel handles, registry keys and file searches: each closes what it holds when
// it goes out of scope. Both NULL and INVALID_HANDLE_VALUE count as holding nothing, since
// Win32 calls answer a failure with one or the other.
#pragma once

#include <windows.h>

#include "win32/scoped.h"

namespace kavrio {

// A kernel object's handle: a process, thread, file, pipe, job, port.
using ScopedHandle = ScopedOwner<ClosedBy<HANDLE, BOOL, CloseHandle>>;
// An open registry key. The predefined roots (HKEY_LOCAL_MACHINE, ...) are never given to one.
using ScopedKey = ScopedOwner<ClosedBy<HKEY, LSTATUS, RegCloseKey>>;
// A search of FindFirstFile.
using ScopedFind = ScopedOwner<ClosedBy<HANDLE, BOOL, FindClose>>;

}  // namespace kavrio
