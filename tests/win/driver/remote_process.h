// Reading another 32-bit process's memory: its PEB and what hangs from it.
#pragma once

#include <windows.h>

#include <string>

namespace launcher_driver {

// Copies `size` bytes at `address` of the process; false unless all of them were read.
bool ReadRemote(HANDLE process, DWORD address, void* out, SIZE_T size);
// The address of the process's PEB; 0, with `failure` saying why, when it cannot be asked.
DWORD PebAddress(HANDLE process, std::wstring& failure);

}  // namespace launcher_driver
