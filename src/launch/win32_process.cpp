// The only file of launch/ that calls kernel32 and shell32. It imports only what Windows 98
// SE has: the W calls and shell32 are found at run time (win32/run_time_calls.h), the W
// calls on the NT line only; without them it takes the A calls, with the texts converted.

#include "launch/win32_process.h"

#include <windows.h>
#include <shellapi.h>

#include "win32/run_time_calls.h"

namespace kavrio {

namespace {

// The ANSI record is 68 bytes on i686, as every Windows version expects.
static_assert(sizeof(STARTUPINFOA) == (sizeof(void*) == 4 ? 68 : 104), "STARTUPINFOA size");
static_assert(sizeof(char16_t) == sizeof(wchar_t), "UTF-16 texts are WCHAR texts");

HANDLE ToHandle(OsHandle handle) { return reinterpret_cast<HANDLE>(handle); }
OsHandle FromHandle(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<OsHandle>(handle);
}
const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* Wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

// A path for an ANSI call of Windows 95 to ME; null stays null. Ok() is false when the path
// does not fit or has a character with no ANSI form: it would name another file.
class AnsiPath {
 public:
  explicit AnsiPath(const char16_t* path) : isNull_(path == nullptr) {
    BOOL lossy = FALSE;
    ok_ = isNull_ || (WideCharToMultiByte(CP_ACP, 0, Wide(path), -1, text_, sizeof text_,
                                          nullptr, &lossy) > 0 &&
                      !lossy);
  }
  bool Ok() const { return ok_; }
  char* Get() { return isNull_ ? nullptr : text_; }

 private:
  char text_[2 * MAX_PATH + 4];  // a double-byte code page takes up to two bytes a character
  bool isNull_;
  bool ok_;
};

// The UTF-16 length of an ANSI text of `length` bytes, or -1.
int Utf16Length(const char* ansi, UINT length) {
  const int needed = MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(length), nullptr, 0);
  return needed > 0 ? needed : -1;
}

void CopyAsUtf16(const char* ansi, UINT length, char16_t* buffer, int wideLength) {
  MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(length), Wide(buffer), wideLength);
  buffer[wideLength] = u'\0';
}

// A CD taken out under the menu must give a failed start, not the system's "There is no
// disk in the drive" box: critical errors fail while the program is started. The started
// program inherits the mode in force at that moment; where the launcher's own mode is the
// default, ChildFlags gives it the default again, so it gets the mode it always did.
class CriticalErrorsFail {
 public:
  CriticalErrorsFail() : own_(::SetErrorMode(SEM_FAILCRITICALERRORS)) {
    ::SetErrorMode(own_ | SEM_FAILCRITICALERRORS);
  }
  ~CriticalErrorsFail() { ::SetErrorMode(own_); }
  DWORD ChildFlags() const { return own_ == 0 ? CREATE_DEFAULT_ERROR_MODE : 0; }

 private:
  UINT own_;
};

}  // namespace

bool Win32Process::CreateProcessW(const char16_t* applicationName, char16_t* commandLine,
                                  bool inheritHandles, std::uint32_t creationFlags,
                                  const char16_t* currentDirectory, OsHandle* process,
                                  OsHandle* thread, std::uint32_t* lastError) {
  PROCESS_INFORMATION info;
  ZeroMemory(&info, sizeof info);
  BOOL ok = FALSE;
  const CriticalErrorsFail noDiskBox;
  creationFlags |= noDiskBox.ChildFlags();
  if (Calls().CreateProcessW) {
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    ok = Calls().CreateProcessW(Wide(applicationName), Wide(commandLine), nullptr, nullptr,
                                inheritHandles ? TRUE : FALSE, creationFlags, nullptr,
                                Wide(currentDirectory), &startup, &info);
  } else {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    AnsiPath application(applicationName), command(commandLine), directory(currentDirectory);
    if (application.Ok() && command.Ok() && directory.Ok()) {
      ok = ::CreateProcessA(application.Get(), command.Get(), nullptr, nullptr,
                            inheritHandles ? TRUE : FALSE, creationFlags, nullptr,
                            directory.Get(), &startup, &info);
    } else {
      SetLastError(ERROR_FILE_NOT_FOUND);
    }
  }
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

bool Win32Process::ShellExecuteExW(const char16_t* file, const char16_t* directory,
                                   OsHandle* process, std::uint32_t* lastError) {
  *process = 0;
  if (!FindShell32Calls()) {
    *lastError = ::GetLastError();
    return false;
  }
  // NOASYNC: the launcher ends right after the call. FLAG_NO_UI: failures are
  // never shown; the elevation prompt itself is not an error box. Critical errors are left
  // as they are: this runs only after CreateProcess has read the file (elevation needed),
  // and the shell has no flag that would keep a raised mode from the program it starts.
  const ULONG mask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  BOOL ok = FALSE;
  HANDLE started = nullptr;
  if (Calls().ShellExecuteExW) {
    SHELLEXECUTEINFOW info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = mask;
    info.lpFile = Wide(file);
    info.lpDirectory = Wide(directory);
    info.nShow = SW_SHOWNORMAL;
    ok = Calls().ShellExecuteExW(&info);
    started = info.hProcess;
  } else {
    AnsiPath ansiFile(file), ansiDirectory(directory);
    if (!ansiFile.Ok() || !ansiDirectory.Ok()) {
      *lastError = ERROR_FILE_NOT_FOUND;
      return false;
    }
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = mask;
    info.lpFile = ansiFile.Get();
    info.lpDirectory = ansiDirectory.Get();
    info.nShow = SW_SHOWNORMAL;
    ok = Calls().ShellExecuteExA(&info);
    started = info.hProcess;
  }
  *lastError = ok ? 0 : ::GetLastError();
  *process = ok ? FromHandle(started) : 0;
  return ok != FALSE;
}

std::uint32_t Win32Process::GetFileAttributesW(const char16_t* path) {
  // No "insert a disk" box for an empty drive C:.
  const CriticalErrorsFail noDiskBox;
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  if (Calls().GetFileAttributesW) {
    attributes = Calls().GetFileAttributesW(Wide(path));
  } else {
    AnsiPath ansi(path);
    if (ansi.Ok()) attributes = ::GetFileAttributesA(ansi.Get());
  }
  return attributes;
}

std::uint32_t Win32Process::GetWindowsDirectoryW(char16_t* buffer, std::uint32_t size) {
  // GetSystemWindowsDirectory (2000 on) names the shared Windows folder even under
  // Terminal Services, where GetWindowsDirectory gives a private one.
  const RunTimeCalls& calls = Calls();
  if (calls.GetSystemWindowsDirectoryW) {
    return calls.GetSystemWindowsDirectoryW(Wide(buffer), size);
  }
  if (calls.GetWindowsDirectoryW) {
    return calls.GetWindowsDirectoryW(Wide(buffer), size);
  }
  // As the W call answers: a buffer too small gives the size needed.
  char ansi[MAX_PATH];
  const UINT length = ::GetWindowsDirectoryA(ansi, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 0;
  const int wideLength = Utf16Length(ansi, length);
  if (wideLength < 0) return 0;
  if (static_cast<std::uint32_t>(wideLength) >= size) return static_cast<std::uint32_t>(wideLength) + 1;
  CopyAsUtf16(ansi, length, buffer, wideLength);
  return static_cast<std::uint32_t>(wideLength);
}

std::uint32_t Win32Process::GetModuleFileNameW(char16_t* buffer, std::uint32_t size) {
  if (Calls().GetModuleFileNameW) {
    return Calls().GetModuleFileNameW(nullptr, Wide(buffer), size);
  }
  // On 95 to ME the name is ANSI, and a name of MAX_PATH bytes or more is cut. As the W call
  // answers: a name that does not fit gives the size of the buffer.
  char ansi[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, ansi, MAX_PATH);
  if (length == 0) return 0;
  const int wideLength = length < MAX_PATH ? Utf16Length(ansi, length) : -1;
  if (wideLength < 0 || static_cast<std::uint32_t>(wideLength) >= size) return size;
  CopyAsUtf16(ansi, length, buffer, wideLength);
  return static_cast<std::uint32_t>(wideLength);
}

}  // namespace kavrio
