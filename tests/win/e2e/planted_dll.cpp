// A DLL planted beside the launcher under the name of a system DLL, as a CD copied to a
// writable folder might carry one. Loaded into a process, it appends
// "<its own path>\t<the process's program>\r\n" (UTF-8) to C:\kavrio-e2e\planted.txt, and
// does nothing else.
#include <windows.h>

namespace {

int AppendUtf8(char* line, int used, int size, const wchar_t* text) {
  const int written = WideCharToMultiByte(CP_UTF8, 0, text, -1, line + used, size - used, nullptr,
                                          nullptr);
  return written > 0 ? used + written - 1 : used;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t dll[MAX_PATH] = L"";
  wchar_t program[MAX_PATH] = L"";
  GetModuleFileNameW(self, dll, MAX_PATH);
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  char line[8 * MAX_PATH + 8];
  int used = AppendUtf8(line, 0, sizeof line - 4, dll);
  line[used++] = '\t';
  used = AppendUtf8(line, used, sizeof line - 4, program);
  line[used++] = '\r';
  line[used++] = '\n';
  CreateDirectoryW(L"C:\\kavrio-e2e", nullptr);
  HANDLE file = CreateFileW(L"C:\\kavrio-e2e\\planted.txt", FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(used), &written, nullptr);
    CloseHandle(file);
  }
  return TRUE;
}
