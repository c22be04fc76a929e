// The only file of launch/ that calls kernel32 and shell32, through the calls of
// win32/text_calls.h: their W forms on the Windows NT line, their A forms on 95 to ME.

#include "launch/win32_process.h"

#include <windows.h>
#include <shellapi.h>

#include "win32/text_calls.h"

namespace kavrio {

namespace {

// The ANSI record is 68 bytes on i686, as every Windows version expects.
static_assert(sizeof(STARTUPINFOA) == (sizeof(void*) == 4 ? 68 : 104), "STARTUPINFOA size");
static_assert(sizeof(char16_t) == sizeof(wchar_t), "UTF-16 texts are WCHAR texts");
static_assert(kStillActive == STILL_ACTIVE && kInfinite == INFINITE &&
              kNormalPriorityClass == NORMAL_PRIORITY_CLASS &&
              kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES &&
              kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);

HANDLE ToHandle(OsHandle handle) { return reinterpret_cast<HANDLE>(handle); }
OsHandle FromHandle(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<OsHandle>(handle);
}
const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* Wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

// A CD taken out under the menu must give a failed start, not the system's "There is no
// disk in the drive" box: critical errors fail while the program is started. The started
// program inherits the mode in force at that moment; where the launcher's own mode is the
// default, ChildFlags gives it the default again, so it gets the mode it always did.
class CriticalErrorsFail {
 public:
  CriticalErrorsFail() : own_(SetErrorMode(SEM_FAILCRITICALERRORS)) {
    SetErrorMode(own_ | SEM_FAILCRITICALERRORS);
  }
  ~CriticalErrorsFail() { SetErrorMode(own_); }
  DWORD ChildFlags() const { return own_ == 0 ? CREATE_DEFAULT_ERROR_MODE : 0; }

 private:
  UINT own_;
};

template <typename Answer>
OsAnswer<Answer> Answered(BOOL ok, Answer answer) {
  return ok ? OsAnswer<Answer>{true, answer, 0} : OsAnswer<Answer>{false, Answer{}, GetLastError()};
}

}  // namespace

OsAnswer<StartedProcess> Win32Process::CreateProcessW(const char16_t* applicationName,
                                                      char16_t* commandLine, bool inheritHandles,
                                                      std::uint32_t creationFlags,
                                                      const char16_t* currentDirectory) {
  PROCESS_INFORMATION info;
  ZeroMemory(&info, sizeof info);
  const CriticalErrorsFail noDiskBox;
  const BOOL ok = StartProcess(Wide(applicationName), Wide(commandLine),
                               inheritHandles ? TRUE : FALSE,
                               creationFlags | noDiskBox.ChildFlags(), Wide(currentDirectory),
                               &info);
  return Answered(ok, StartedProcess{FromHandle(info.hProcess), FromHandle(info.hThread)});
}

std::uint32_t Win32Process::WaitForSingleObject(OsHandle handle, std::uint32_t milliseconds) {
  return ::WaitForSingleObject(ToHandle(handle), milliseconds);
}

OsAnswer<std::uint32_t> Win32Process::GetExitCodeProcess(OsHandle process) {
  DWORD code = 0;
  const BOOL ok = ::GetExitCodeProcess(ToHandle(process), &code);
  return Answered(ok, static_cast<std::uint32_t>(code));
}

void Win32Process::CloseHandle(OsHandle handle) { ::CloseHandle(ToHandle(handle)); }

OsAnswer<OsHandle> Win32Process::ShellExecuteExW(const char16_t* file,
                                                 const char16_t* directory) {
  // NOASYNC: the launcher ends right after the call. FLAG_NO_UI: failures are
  // never shown; the elevation prompt itself is not an error box. Critical errors are left
  // as they are: this runs only after CreateProcess has read the file (elevation needed),
  // and the shell has no flag that would keep a raised mode from the program it starts.
  const ULONG mask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  HANDLE process = nullptr;
  const BOOL ok = ShellStart(Wide(file), Wide(directory), mask, &process);
  return Answered(ok, FromHandle(process));
}

std::uint32_t Win32Process::GetFileAttributesW(const char16_t* path) {
  // No "insert a disk" box for an empty drive C:.
  const CriticalErrorsFail noDiskBox;
  return FileAttributes(Wide(path));
}

std::uint32_t Win32Process::GetWindowsDirectoryW(char16_t* buffer, std::uint32_t size) {
  return WindowsFolder(Wide(buffer), size);
}

std::uint32_t Win32Process::GetModuleFileNameW(char16_t* buffer, std::uint32_t size) {
  return ModuleFileName(Wide(buffer), size);
}

}  // namespace kavrio
