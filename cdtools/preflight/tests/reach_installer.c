/* An installer that reaches for the machine that runs it: the preflight's sandbox tests put
 * it on a CD in the three installers' places.
 *
 * It reads its orders from the UTF-8 file beside it that has its own name with ".txt" instead
 * of ".exe" (D:\Setup.txt for D:\Setup.exe), one a line:
 *   write PATH          creates PATH (any Windows path: Z:\..., \\?\unix\...) with one line
 *   run PROGRAM ARGS    starts PROGRAM with the command line "PROGRAM ARGS" (Wine starts Unix
 *                       programs too: Z:\bin\sh); done when it started
 *   expect PATH TEXT    waits up to 20 s for the file PATH to begin with TEXT (what a program
 *                       that "run" started wrote)
 *   connect PORT        opens a TCP connection to 127.0.0.1:PORT
 *   hide FOLDER         gives FOLDER the hidden attribute (Wine keeps it in an extended
 *                       attribute of the Unix folder)
 *
 * First it looks for what an earlier run of the same prefix would have left: the marker file
 * that it leaves itself, C:\windows\win.ini beginning with "REACH", and C:\users\Public hidden.
 * Its window's title then says what it found and which orders reached their target, in turn:
 * "Reach test: clean, done +-+" or "Reach test: left over, done +-+". */
#include <winsock2.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#define LONG_TEXT 32768

static const wchar_t kMarker[] = L"C:\\kavrio-reach-marker.txt";
static const wchar_t kWinIni[] = L"C:\\windows\\win.ini";
static const wchar_t kPublic[] = L"C:\\users\\Public";

static wchar_t g_orders[LONG_TEXT];
static wchar_t g_title[256];
static wchar_t g_outcomes[64];

static int FileBeginsWith(const wchar_t* path, const char* text) {
  char head[64] = {0};
  DWORD got = 0;
  if (strlen(text) > sizeof head) return 0;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 0;
  ReadFile(file, head, (DWORD)strlen(text), &got, NULL);
  CloseHandle(file);
  return got == strlen(text) && memcmp(head, text, got) == 0;
}

static int Write(const wchar_t* path) {
  static const char line[] = "reached\r\n";
  DWORD written = 0;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 0;
  const BOOL ok = WriteFile(file, line, sizeof line - 1, &written, NULL);
  CloseHandle(file);
  return ok && written == sizeof line - 1;
}

static int Run(wchar_t* commandLine) {
  wchar_t program[MAX_PATH];
  const wchar_t* space = wcschr(commandLine, L' ');
  const size_t length = space ? (size_t)(space - commandLine) : wcslen(commandLine);
  if (length >= MAX_PATH) return 0;
  wmemcpy(program, commandLine, length);
  program[length] = L'\0';
  STARTUPINFOW startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {0};
  if (!CreateProcessW(program, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                      &process)) {
    return 0;
  }
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  return 1;
}

static int Expect(wchar_t* order) {
  wchar_t* space = wcsrchr(order, L' ');
  char text[64];
  if (!space || WideCharToMultiByte(CP_UTF8, 0, space + 1, -1, text, sizeof text, NULL,
                                    NULL) <= 1) {
    return 0;
  }
  *space = L'\0';
  for (int tries = 0; tries < 200; ++tries) {
    if (FileBeginsWith(order, text)) return 1;
    Sleep(100);
  }
  return 0;
}

static int Hidden(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
}

static int Hide(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         SetFileAttributesW(path, attributes | FILE_ATTRIBUTE_HIDDEN) && Hidden(path);
}

static int Connect(const wchar_t* port) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  struct sockaddr_in to = {0};
  to.sin_family = AF_INET;
  to.sin_port = htons((u_short)_wtoi(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int made = s != INVALID_SOCKET && connect(s, (struct sockaddr*)&to, sizeof to) == 0;
  if (s != INVALID_SOCKET) closesocket(s);
  WSACleanup();
  return made;
}

/* The orders file as UTF-16, each line ending in a NUL; 0 when there is none. */
static int ReadOrders(void) {
  wchar_t path[MAX_PATH];
  static char bytes[LONG_TEXT];
  DWORD got = 0;
  const DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
  if (length < 4 || length >= MAX_PATH) return 0;
  wcscpy(path + length - 4, L".txt");
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 0;
  ReadFile(file, bytes, sizeof bytes - 1, &got, NULL);
  CloseHandle(file);
  const int wide = MultiByteToWideChar(CP_UTF8, 0, bytes, (int)got, g_orders, LONG_TEXT - 1);
  g_orders[wide] = L'\0';
  for (wchar_t* c = g_orders; *c; ++c) {
    if (*c == L'\r' || *c == L'\n') *c = L'\0';
  }
  return wide;
}

/* g_outcomes: "+" for each order that reached its target, "-" for each that did not. */
static void FollowOrders(int length) {
  size_t given = 0;
  for (wchar_t* line = g_orders; line < g_orders + length; line += wcslen(line) + 1) {
    int ok = -1;
    if (wcsncmp(line, L"write ", 6) == 0) ok = Write(line + 6);
    if (wcsncmp(line, L"run ", 4) == 0) ok = Run(line + 4);
    if (wcsncmp(line, L"expect ", 7) == 0) ok = Expect(line + 7);
    if (wcsncmp(line, L"connect ", 8) == 0) ok = Connect(line + 8);
    if (wcsncmp(line, L"hide ", 5) == 0) ok = Hide(line + 5);
    if (ok < 0 || given + 1 >= sizeof g_outcomes / sizeof g_outcomes[0]) continue;
    g_outcomes[given++] = ok ? L'+' : L'-';
  }
  g_outcomes[given] = L'\0';
}

static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, w, l);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR arguments, int show) {
  (void)previous;
  (void)arguments;
  const int leftOver = GetFileAttributesW(kMarker) != INVALID_FILE_ATTRIBUTES ||
                       FileBeginsWith(kWinIni, "REACH") || Hidden(kPublic);
  Write(kMarker);
  FollowOrders(ReadOrders());
  swprintf(g_title, 256, L"Reach test: %ls, done %ls", leftOver ? L"left over" : L"clean",
           g_outcomes);

  WNDCLASSW windowClass = {0};
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"KavrioReachTest";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(L"KavrioReachTest", g_title, WS_OVERLAPPEDWINDOW, 100, 100, 420,
                              160, NULL, NULL, instance, NULL);
  ShowWindow(window, show);
  MSG message;
  while (GetMessageW(&message, NULL, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
