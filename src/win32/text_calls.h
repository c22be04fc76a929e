// The calls that take or give text, each choosing once between its UTF-16 (W) form, found at
// run time on the Windows NT line, and its ANSI (A) form on Windows 95, 98 and ME. Callers
// never branch on the Windows version themselves.
#pragma once

#include <windows.h>

namespace kavrio {

// ---- The forms' texts: Windows-1252, converted for the W calls -----------------------------

// CreateWindowExW or CreateWindowExA.
HWND CreateWindowWithText(DWORD exStyle, const char* className, const char* text, DWORD style,
                          int left, int top, int width, int height, HWND parent, HMENU menu,
                          HINSTANCE instance, void* param);
// MessageBoxW or MessageBoxA.
int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type);
// GetTextExtentPoint32W or GetTextExtentPoint32A: one line of `text` in the DC's font.
SIZE TextExtent(HDC dc, const char* text);

// ---- Paths: UTF-16, converted to the ANSI code page for the A calls --------------------------
// A path with a character that the ANSI code page lacks would name another file: on 95 to ME
// it fails as a missing file does.

// CreateProcessW or CreateProcessA, with a STARTUPINFO that holds only its size and the
// caller's environment.
BOOL StartProcess(const wchar_t* application, wchar_t* commandLine, BOOL inheritHandles,
                  DWORD creationFlags, const wchar_t* directory, PROCESS_INFORMATION* started);
// ShellExecuteExW or ShellExecuteExA with the default verb and SW_SHOWNORMAL; shell32 is
// loaded from the system folder on first use. *process is the started process or null.
BOOL ShellStart(const wchar_t* file, const wchar_t* directory, ULONG mask, HANDLE* process);
// GetFileAttributesW or GetFileAttributesA.
DWORD FileAttributes(const wchar_t* path);
// GetSystemWindowsDirectoryW (the shared folder even under Terminal Services), else
// GetWindowsDirectoryW, else GetWindowsDirectoryA. A buffer too small gives the size needed.
UINT WindowsFolder(wchar_t* buffer, UINT size);
// GetModuleFileNameW or GetModuleFileNameA of the program itself. A name that does not fit
// gives the size of the buffer.
DWORD ModuleFileName(wchar_t* buffer, DWORD size);

}  // namespace kavrio
