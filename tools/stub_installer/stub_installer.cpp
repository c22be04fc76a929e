// Stand-in for the installers of the CD.
//
// With KAVRIO_STUB_RECORD naming a file, it appends one UTF-8 line
// "<own path>\t<command line>\t<working folder>\r\n", sleeps KAVRIO_STUB_SLEEP_MS
// and exits with KAVRIO_STUB_EXIT_CODE (default 0). Without it (the demo CD),
// it says in a message box what was started, from where and in which folder.

#include <windows.h>

#include <cwchar>
#include <cstdlib>

#include "win32/scoped_handle.h"

namespace {

constexpr DWORD kLongText = 32768;

wchar_t g_path[kLongText];
wchar_t g_folder[kLongText];
wchar_t g_workingFolder[kLongText];
wchar_t g_text[4 * kLongText];
char g_line[3 * 4 * kLongText];

bool Environment(const wchar_t* name, wchar_t* out, DWORD size) {
  const DWORD length = GetEnvironmentVariableW(name, out, size);
  return length > 0 && length < size;
}

// Appends a wide text as UTF-8 at g_line + used; returns the new length.
int AppendUtf8(int used, const wchar_t* text) {
  const int room = static_cast<int>(sizeof g_line) - used;
  const int written = WideCharToMultiByte(CP_UTF8, 0, text, -1, g_line + used, room, nullptr, nullptr);
  return written > 0 ? used + written - 1 : used;  // without the NUL
}

bool AppendRecord(const wchar_t* recordFile) {
  int used = AppendUtf8(0, g_path);
  g_line[used++] = '\t';
  used = AppendUtf8(used, GetCommandLineW());
  g_line[used++] = '\t';
  used = AppendUtf8(used, g_workingFolder);
  g_line[used++] = '\r';
  g_line[used++] = '\n';

  // Append-only access makes each single write land at the end, so stubs
  // running side by side never overwrite each other's line.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const kavrio::ScopedHandle file(CreateFileW(recordFile, FILE_APPEND_DATA,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      if (GetLastError() != ERROR_SHARING_VIOLATION) return false;
      Sleep(20);
      continue;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file.Get(), g_line, static_cast<DWORD>(used), &written, nullptr);
    return ok && written == static_cast<DWORD>(used);
  }
  return false;
}

void ShowDemoMessage() {
  std::wcscpy(g_folder, g_path);
  wchar_t* lastSeparator = std::wcsrchr(g_folder, L'\\');
  if (lastSeparator != nullptr) *lastSeparator = L'\0';
  const wchar_t* name = lastSeparator != nullptr ? lastSeparator + 1 : g_path;
  std::swprintf(g_text, sizeof g_text / sizeof g_text[0],
                L"Este programa de demonstração substitui um instalador do CD.\n\n"
                L"Programa iniciado:\n%ls\n\n"
                L"Iniciado a partir da pasta:\n%ls\n\n"
                L"Pasta de trabalho:\n%ls",
                name, g_folder, g_workingFolder);
  MessageBoxW(nullptr, g_text, L"Kavrio - instalador de demonstração",
              MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

}  // namespace

int wmain() {
  const DWORD pathLength = GetModuleFileNameW(nullptr, g_path, kLongText);
  if (pathLength == 0 || pathLength >= kLongText) g_path[0] = L'\0';
  const DWORD folderLength = GetCurrentDirectoryW(kLongText, g_workingFolder);
  if (folderLength == 0 || folderLength >= kLongText) g_workingFolder[0] = L'\0';

  wchar_t recordFile[MAX_PATH * 4];
  if (!Environment(L"KAVRIO_STUB_RECORD", recordFile, sizeof recordFile / sizeof recordFile[0])) {
    ShowDemoMessage();
    return 0;
  }
  const bool recorded = AppendRecord(recordFile);

  wchar_t number[32];
  if (Environment(L"KAVRIO_STUB_SLEEP_MS", number, 32)) {
    Sleep(static_cast<DWORD>(std::wcstoul(number, nullptr, 10)));
  }
  if (!recorded) return 99;  // a lost record must not pass for a normal run
  if (Environment(L"KAVRIO_STUB_EXIT_CODE", number, 32)) {
    return static_cast<int>(std::wcstol(number, nullptr, 10));
  }
  return 0;
}
