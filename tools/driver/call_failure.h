// How a failed Win32 call is named in a run's problems and in a failed test: the call and
// the error that it left, as Wine's own tests word it.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// "RegSetValueExW failed with error 5". `error` defaults to GetLastError(); the registry
// calls return theirs.
inline std::wstring CallFailed(const wchar_t* call, DWORD error = GetLastError()) {
  return std::wstring(call) + L" failed with error " + std::to_wstring(error);
}

}  // namespace e2e
