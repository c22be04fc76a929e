// How a failed Win32 call is named in a run's problems and in a failed test: the call and
// the error that it left, as Wine's own tests word it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace launcher_driver {

// "RegSetValueExW failed with error 5". `error` defaults to GetLastError(); the registry
// calls return theirs.
std::wstring CallFailed(const wchar_t* call, DWORD error = GetLastError());

// A call whose failure its caller cannot answer at once (a key press, a read of another
// process's window) is noted here, with what it was for. The runner makes each one a
// problem of its run; the Windows tier's fixtures fail the test in which it happened.
void NoteFailedCall(const std::wstring& what, const std::wstring& failure);
// The failures noted since the last call, oldest first.
std::vector<std::wstring> TakeFailedCalls();

}  // namespace launcher_driver
