// The only file of launch/ that calls kernel32 and shell32 (shell32 is loaded at run time).
// Everything it imports exists on Windows 95/98; newer calls are looked up at run time.

#include "launch/win32_process.h"

#include <windows.h>
#include <shellapi.h>

// <windows.h> maps these names to their A/W forms; the port's methods keep the plain names.
#undef CreateProcess
#undef ShellExecuteEx
#undef GetFileAttributes
#undef GetWindowsDirectory
#undef GetModuleFileName

namespace kavrio {

namespace {

// The ANSI record is 68 bytes on i686, as every Windows version expects.
static_assert(sizeof(STARTUPINFOA) == (sizeof(void*) == 4 ? 68 : 104), "STARTUPINFOA size");

HANDLE ToHandle(OsHandle handle) { return reinterpret_cast<HANDLE>(handle); }
OsHandle FromHandle(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<OsHandle>(handle);
}

using GetSystemWindowsDirectoryAFn = UINT(WINAPI*)(LPSTR, UINT);

// GetSystemWindowsDirectoryA (Windows 2000 and later) names the shared Windows
// folder even under Terminal Services, where GetWindowsDirectoryA gives a
// private one.
GetSystemWindowsDirectoryAFn FindGetSystemWindowsDirectoryA() {
  HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  FARPROC proc = ::GetProcAddress(kernel32, "GetSystemWindowsDirectoryA");
  // Through void(*)() so that GCC accepts the cast between function types.
  return reinterpret_cast<GetSystemWindowsDirectoryAFn>(reinterpret_cast<void (*)()>(proc));
}

using ShellExecuteExAFn = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);

// shell32 is needed only for the elevation retry, so it is loaded then and not at every
// start. It stays loaded: the shell may still be working for the started program.
ShellExecuteExAFn FindShellExecuteExA() {
  HMODULE shell32 = ::LoadLibraryA("shell32.dll");
  if (shell32 == nullptr) return nullptr;
  FARPROC proc = ::GetProcAddress(shell32, "ShellExecuteExA");
  return reinterpret_cast<ShellExecuteExAFn>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace

bool Win32Process::CreateProcess(const char* applicationName, char* commandLine,
                                 bool inheritHandles, std::uint32_t creationFlags,
                                 const char* currentDirectory, OsHandle* process,
                                 OsHandle* thread, std::uint32_t* lastError) {
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info;
  ZeroMemory(&info, sizeof info);
  const BOOL ok = ::CreateProcessA(applicationName, commandLine, nullptr, nullptr,
                                   inheritHandles ? TRUE : FALSE, creationFlags, nullptr,
                                   currentDirectory, &startup, &info);
  *lastError = ok ? 0 : ::GetLastError();
  *process = ok ? FromHandle(info.hProcess) : 0;
  *thread = ok ? FromHandle(info.hThread) : 0;
  return ok != FALSE;
}

std::uint32_t Win32Process::WaitForSingleObject(OsHandle handle, std::uint32_t milliseconds) {
  return ::WaitForSingleObject(ToHandle(handle), milliseconds);
}

bool Win32Process::GetExitCodeProcess(OsHandle process, std::uint32_t* exitCode) {
  DWORD code = 0;
  if (!::GetExitCodeProcess(ToHandle(process), &code)) return false;
  *exitCode = code;
  return true;
}

bool Win32Process::CloseHandle(OsHandle handle) { return ::CloseHandle(ToHandle(handle)) != FALSE; }

bool Win32Process::ShellExecuteEx(const char* file, const char* directory, OsHandle* process,
                                  std::uint32_t* lastError) {
  SHELLEXECUTEINFOA info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;
  // NOASYNC: the launcher ends right after the call. FLAG_NO_UI: failures are
  // never shown; the elevation prompt itself is not an error box.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpFile = file;
  info.lpDirectory = directory;
  info.nShow = SW_SHOWNORMAL;
  const ShellExecuteExAFn shellExecuteEx = FindShellExecuteExA();
  if (shellExecuteEx == nullptr) {
    *lastError = ::GetLastError();
    *process = 0;
    return false;
  }
  const BOOL ok = shellExecuteEx(&info);
  *lastError = ok ? 0 : ::GetLastError();
  *process = ok ? FromHandle(info.hProcess) : 0;
  return ok != FALSE;
}

std::uint32_t Win32Process::GetFileAttributes(const char* path) {
  // No "insert a disk" box for an empty drive C:.
  const UINT previousMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
  const DWORD attributes = ::GetFileAttributesA(path);
  ::SetErrorMode(previousMode);
  return attributes;
}

std::uint32_t Win32Process::GetWindowsDirectory(char* buffer, std::uint32_t size) {
  const GetSystemWindowsDirectoryAFn getSystemWindowsDirectory = FindGetSystemWindowsDirectoryA();
  if (getSystemWindowsDirectory != nullptr) return getSystemWindowsDirectory(buffer, size);
  return ::GetWindowsDirectoryA(buffer, size);
}

std::uint32_t Win32Process::GetModuleFileName(char* buffer, std::uint32_t size) {
  return ::GetModuleFileNameA(nullptr, buffer, size);
}

}  // namespace kavrio
