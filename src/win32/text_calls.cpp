#include "win32/text_calls.h"

#include <shellapi.h>

#include "common/limits.h"
#include "win32/dll_search.h"
#include "win32/run_time_calls.h"

namespace kavrio {

namespace {

// The system's own bound on a path, which the launcher's buffers share.
static_assert(kMaxPath == MAX_PATH);

// One byte is one letter in code page 1252: the launcher's own texts as UTF-16, whatever the
// system's code page is, cut to fit, converted once for a W call.
template <std::size_t Size>
class WideText {
 public:
  explicit WideText(const char* text) {
    int length = text ? lstrlenA(text) : 0;
    if (length > static_cast<int>(Size) - 1) length = static_cast<int>(Size) - 1;
    length_ = length > 0 ? MultiByteToWideChar(1252, 0, text, length, text_, length) : 0;
    text_[length_] = L'\0';
  }
  const wchar_t* Get() const { return text_; }
  int Length() const { return length_; }

 private:
  wchar_t text_[Size];
  int length_;
};

// A UTF-16 path for an A call; null stays null. Ok() is false when the path does not fit or
// has a character with no ANSI form: it would name another file.
class AnsiPath {
 public:
  explicit AnsiPath(const wchar_t* path) : isNull_(path == nullptr) {
    BOOL lossy = FALSE;
    ok_ = isNull_ || (WideCharToMultiByte(CP_ACP, 0, path, -1, text_, sizeof text_, nullptr,
                                          &lossy) > 0 &&
                      !lossy);
  }
  bool Ok() const { return ok_; }
  char* Get() { return isNull_ ? nullptr : text_; }

 private:
  char text_[2 * kMaxPath + 4];  // a double-byte code page takes up to two bytes a character
  bool isNull_;
  bool ok_;
};

// An ANSI text of `length` bytes as UTF-16 in out, as the W calls answer: its length without
// the NUL, or outSize or more when it does not fit (then nothing is written), or 0.
UINT Utf16FromAnsi(const char* ansi, UINT length, wchar_t* out, UINT outSize) {
  const int needed = MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(length), nullptr, 0);
  if (needed <= 0) return 0;
  const UINT wideLength = static_cast<UINT>(needed);
  if (wideLength >= outSize) return wideLength + 1;
  MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(length), out, needed);
  out[wideLength] = L'\0';
  return wideLength;
}

// SHELLEXECUTEINFOW or SHELLEXECUTEINFOA, filled alike.
template <class Info, class Char>
BOOL Execute(BOOL(WINAPI* execute)(Info*), const Char* file, const Char* directory, ULONG mask,
             HANDLE* process) {
  Info info = {};
  info.cbSize = sizeof info;
  info.fMask = mask;
  info.lpFile = file;
  info.lpDirectory = directory;
  info.nShow = SW_SHOWNORMAL;
  const BOOL ok = execute(&info);
  *process = ok ? info.hProcess : nullptr;
  return ok;
}

}  // namespace

HWND CreateWindowWithText(DWORD exStyle, const char* className, const char* text, DWORD style,
                          int left, int top, int width, int height, HWND parent, HMENU menu,
                          HINSTANCE instance, void* param) {
  if (Calls().CreateWindowExW) {
    const WideText<kMaxFormName> wideClass(className);
    const WideText<kMaxFormText> wideText(text);
    return Calls().CreateWindowExW(exStyle, wideClass.Get(), wideText.Get(), style, left, top,
                                   width, height, parent, menu, instance, param);
  }
  return CreateWindowExA(exStyle, className, text, style, left, top, width, height, parent, menu,
                         instance, param);
}

int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type) {
  if (Calls().MessageBoxW) {
    const WideText<kMaxFormText> wideText(text);
    const WideText<kMaxFormName> wideTitle(title);
    return Calls().MessageBoxW(owner, wideText.Get(), wideTitle.Get(), type);
  }
  return MessageBoxA(owner, text, title, type);
}

SIZE TextExtent(HDC dc, const char* text) {
  SIZE extent = {0, 0};
  if (Calls().GetTextExtentPoint32W) {
    const WideText<kMaxFormText> wide(text);
    Calls().GetTextExtentPoint32W(dc, wide.Get(), wide.Length(), &extent);
  } else {
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
  }
  return extent;
}

BOOL StartProcess(const wchar_t* application, wchar_t* commandLine, BOOL inheritHandles,
                  DWORD creationFlags, const wchar_t* directory, PROCESS_INFORMATION* started) {
  if (Calls().CreateProcessW) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    return Calls().CreateProcessW(application, commandLine, nullptr, nullptr, inheritHandles,
                                  creationFlags, nullptr, directory, &startup, started);
  }
  AnsiPath ansiApplication(application), ansiCommandLine(commandLine), ansiDirectory(directory);
  if (!ansiApplication.Ok() || !ansiCommandLine.Ok() || !ansiDirectory.Ok()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  return CreateProcessA(ansiApplication.Get(), ansiCommandLine.Get(), nullptr, nullptr,
                        inheritHandles, creationFlags, nullptr, ansiDirectory.Get(), &startup,
                        started);
}

BOOL ShellStart(const wchar_t* file, const wchar_t* directory, ULONG mask, HANDLE* process) {
  *process = nullptr;
  if (!LoadShell32()) return FALSE;
  if (Calls().ShellExecuteExW) {
    return Execute(Calls().ShellExecuteExW, file, directory, mask, process);
  }
  AnsiPath ansiFile(file), ansiDirectory(directory);
  if (!ansiFile.Ok() || !ansiDirectory.Ok()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  return Execute(Calls().ShellExecuteExA, static_cast<const char*>(ansiFile.Get()),
                 static_cast<const char*>(ansiDirectory.Get()), mask, process);
}

DWORD FileAttributes(const wchar_t* path) {
  if (Calls().GetFileAttributesW) return Calls().GetFileAttributesW(path);
  AnsiPath ansi(path);
  return ansi.Ok() ? GetFileAttributesA(ansi.Get()) : INVALID_FILE_ATTRIBUTES;
}

UINT WindowsFolder(wchar_t* buffer, UINT size) {
  const RunTimeCalls& calls = Calls();
  if (calls.GetSystemWindowsDirectoryW) return calls.GetSystemWindowsDirectoryW(buffer, size);
  if (calls.GetWindowsDirectoryW) return calls.GetWindowsDirectoryW(buffer, size);
  char ansi[kMaxPath];
  const UINT length = GetWindowsDirectoryA(ansi, kMaxPath);
  if (length == 0 || length >= kMaxPath) return 0;
  return Utf16FromAnsi(ansi, length, buffer, size);
}

DWORD ModuleFileName(wchar_t* buffer, DWORD size) {
  if (Calls().GetModuleFileNameW) return Calls().GetModuleFileNameW(nullptr, buffer, size);
  // On 95 to ME the name is ANSI, and a name of kMaxPath bytes or more is cut.
  char ansi[kMaxPath];
  const DWORD length = GetModuleFileNameA(nullptr, ansi, kMaxPath);
  if (length == 0) return 0;
  const UINT wideLength = length < kMaxPath ? Utf16FromAnsi(ansi, length, buffer, size) : 0;
  return wideLength == 0 || wideLength >= size ? size : wideLength;
}

}  // namespace kavrio
