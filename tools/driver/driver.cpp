#include "driver.h"

#include <cstdio>
#include <sstream>

namespace e2e {

namespace {

const wchar_t kRecordFolder[] = L"C:\\kavrio-e2e";
const wchar_t kRecordFile[] = L"C:\\kavrio-e2e\\starts.txt";
const wchar_t kPlantedFile[] = L"C:\\kavrio-e2e\\planted.txt";
const wchar_t kBrowserKey[] = L"Software\\Microsoft\\Internet Explorer";

using win_tier::ExeFolder;

void MakeFolders(const std::wstring& filePath) {
  for (std::size_t at = filePath.find(L'\\', 3); at != std::wstring::npos;
       at = filePath.find(L'\\', at + 1)) {
    CreateDirectoryW(filePath.substr(0, at).c_str(), nullptr);
  }
}

void CopyInto(const std::wstring& source, const std::wstring& target) {
  MakeFolders(target);
  if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
    std::fprintf(stderr, "copy to %ls failed: %lu\n", target.c_str(), GetLastError());
  }
}

std::wstring FromUtf8(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}


// The UTF-8 lines of a record file, each split at its tabs into `fields` texts (lines with
// fewer are skipped).
std::vector<std::vector<std::wstring>> RecordLines(const wchar_t* path, std::size_t fields) {
  std::vector<std::vector<std::wstring>> lines;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lines;
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);

  std::istringstream text(bytes);
  std::string line;
  while (std::getline(text, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::wstring> split;
    std::size_t start = 0;
    while (split.size() + 1 < fields) {
      const std::size_t tab = line.find('\t', start);
      if (tab == std::string::npos) break;
      split.push_back(FromUtf8(line.substr(start, tab - start)));
      start = tab + 1;
    }
    split.push_back(FromUtf8(line.substr(start)));
    if (split.size() == fields) lines.push_back(split);
  }
  return lines;
}

}  // namespace

// ---- The CD and the registry -------------------------------------------------------------

std::wstring WinePathFromEnvironment(const char* name) {
  // The W call: Wine decodes the Unix environment by the Unix locale's charset (UTF-8 under
  // LC_ALL=C.UTF-8), where the A call gives the ANSI code page, which holds no CJK letter and
  // gives "Área" as bytes that are no UTF-8.
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  std::wstring unixPath(32767, L'\0');
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), unixPath.data(),
                                               static_cast<DWORD>(unixPath.size()));
  if (length == 0 || length >= unixPath.size() || unixPath[0] != L'/') return L"";
  unixPath.resize(length);
  // Wine's drive Z: is the Unix root.
  std::wstring path = L"Z:" + unixPath;
  for (wchar_t& c : path) if (c == L'/') c = L'\\';
  return path;
}

void PlantStub(const std::wstring& path) { CopyInto(ExeFolder() + L"\\stub_installer.exe", path); }

void CopyLauncherTo(const std::wstring& path) { CopyInto(ExeFolder() + L"\\kavrio.exe", path); }

void LayOutCd() {
  win_tier::EmptyFolder(L"D:");
  CopyLauncherTo(L"D:\\kavrio.exe");
  for (const std::wstring& installer : {kHomeSetup, kAgentSetup, kBrowserSetup}) {
    PlantStub(installer);
  }
}

void SetBrowserVersion(const BrowserVersion& version, RegistryView view) {
  const REGSAM viewFlag = view == RegistryView::Shipped32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  HKEY key = nullptr;
  if (version.kind == VersionKind::NoKey) {
    // RegDeleteTree takes no view: it works below a parent opened in the right one.
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft", 0, KEY_ALL_ACCESS | viewFlag,
                      &parent) == ERROR_SUCCESS) {
      RegDeleteTreeW(parent, L"Internet Explorer");
      RegCloseKey(parent);
    }
    return;
  }
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, kBrowserKey, 0, nullptr, 0, KEY_ALL_ACCESS | viewFlag,
                  nullptr, &key, nullptr);
  switch (version.kind) {
    case VersionKind::Text:
      RegSetValueExW(key, L"Version", 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(version.text.c_str()),
                     static_cast<DWORD>((version.text.size() + 1) * sizeof(wchar_t)));
      break;
    case VersionKind::Dword:
      RegSetValueExW(key, L"Version", 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&version.number), sizeof version.number);
      break;
    case VersionKind::Binary:
      RegSetValueExW(key, L"Version", 0, REG_BINARY,
                     reinterpret_cast<const BYTE*>(&version.number), sizeof version.number);
      break;
    case VersionKind::NoValue:
      RegDeleteValueW(key, L"Version");
      break;
    case VersionKind::NoKey:
      break;
  }
  RegCloseKey(key);
}

void SetLogPixels(DWORD dpi) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &key, nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    RegCloseKey(key);
  }
}

// ---- The launcher process ----------------------------------------------------------------

Launcher::~Launcher() {
  if (process.hProcess) {
    if (Running()) {
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

bool Launcher::WaitForExit(DWORD milliseconds) {
  return WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0;
}

bool Launcher::Running() { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }

DWORD Launcher::ExitCode() {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process.hProcess, &code);
  return code;
}

void StartLauncher(Launcher& launcher, const LaunchOptions& options) {
  CreateDirectoryW(kRecordFolder, nullptr);
  SetEnvironmentVariableW(L"KAVRIO_STUB_RECORD", options.recordStarts ? kRecordFile : nullptr);
  const std::wstring folder = !options.workingFolder.empty()
                                  ? options.workingFolder
                                  : options.exe.substr(0, options.exe.find_last_of(L'\\') + 1);
  if (!launcher.started.Start(options.exe, L"\"" + options.exe + L"\"", folder,
                              launcher.process)) {
    std::fprintf(stderr, "could not start %ls: %lu\n", options.exe.c_str(), GetLastError());
  }
}

void StartLauncher(Launcher& launcher, const std::wstring& exe) {
  LaunchOptions options;
  options.exe = exe;
  StartLauncher(launcher, options);
}

namespace {

// Wine's settings for one program: HKCU\Software\Wine\AppDefaults\<exe>[\subKey].
HKEY OpenAppDefaults(const wchar_t* exeName, const wchar_t* subKey) {
  std::wstring path = std::wstring(L"Software\\Wine\\AppDefaults\\") + exeName;
  if (subKey) path += std::wstring(L"\\") + subKey;
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  return key;
}

void SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

void ReportWindowsTo(const wchar_t* exeName, const wchar_t* mode) {
  HKEY key = OpenAppDefaults(exeName, nullptr);
  if (!key) return;
  if (mode) {
    SetText(key, L"Version", mode);
  } else {
    RegDeleteValueW(key, L"Version");
  }
  RegCloseKey(key);
}

// ---- DLLs planted on the CD ----------------------------------------------------------------

const wchar_t* const kPlantedDllNames[4] = {L"uxtheme.dll", L"msimg32.dll", L"comctl32.dll",
                                            L"shell32.dll"};

void PlantMarkerDlls(const std::wstring& folder) {
  for (const wchar_t* name : kPlantedDllNames) {
    CopyInto(ExeFolder() + L"\\planted_dll.dll", folder + L"\\" + name);
  }
}

void PreferPlantedDllsIn(const wchar_t* exeName, bool on) {
  HKEY key = OpenAppDefaults(exeName, nullptr);
  if (!key) return;
  RegDeleteTreeW(key, L"DllOverrides");
  if (on) {
    HKEY overrides = OpenAppDefaults(exeName, L"DllOverrides");
    for (const wchar_t* name : kPlantedDllNames) {
      const std::wstring module(name, wcslen(name) - 4);  // without ".dll"
      SetText(overrides, module.c_str(), L"native,builtin");
    }
    RegCloseKey(overrides);
  }
  RegCloseKey(key);
}

void PlantDllProbe(const std::wstring& path) { CopyInto(ExeFolder() + L"\\dll_probe.exe", path); }

void ClearPlantedLoads() { DeleteFileW(kPlantedFile); }

std::vector<PlantedLoad> PlantedLoads() {
  std::vector<PlantedLoad> loads;
  for (const std::vector<std::wstring>& fields : RecordLines(kPlantedFile, 2)) {
    loads.push_back({fields[0], fields[1]});
  }
  return loads;
}

// ---- Windows -----------------------------------------------------------------------------

namespace {

struct WindowSearch {
  DWORD processId;  // 0: every process
  std::vector<HWND> found;
};

BOOL CALLBACK OnTopLevelWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if ((search->processId == 0 || owner == search->processId) && IsWindowVisible(window)) {
    search->found.push_back(window);
  }
  return TRUE;
}

struct ControlCollection {
  HWND top;
  std::vector<Control> controls;
};

BOOL CALLBACK OnChildWindow(HWND window, LPARAM param) {
  auto* collection = reinterpret_cast<ControlCollection*>(param);
  Control control;
  control.window = window;
  control.parent = GetParent(window);
  control.className = ClassOf(window);
  control.text = TextOf(window);
  control.style = GetWindowLongW(window, GWL_STYLE);
  control.exStyle = GetWindowLongW(window, GWL_EXSTYLE);
  GetWindowRect(window, &control.rect);
  MapWindowPoints(nullptr, collection->top, reinterpret_cast<POINT*>(&control.rect), 2);
  collection->controls.push_back(control);
  return TRUE;
}

}  // namespace

std::vector<HWND> VisibleWindowsOfEveryProcess() { return VisibleWindows(0); }

std::vector<HWND> VisibleWindows(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(OnTopLevelWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

std::wstring TextOf(HWND window) {
  // WM_GETTEXT works across processes, and the text comes back as Unicode.
  wchar_t text[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      5000, nullptr);
  return text;
}

HWND WaitForWindow(DWORD processId, const wchar_t* title, const wchar_t* className,
                   DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    for (HWND window : VisibleWindows(processId)) {
      if (TextOf(window) == title && (!className || ClassOf(window) == className)) {
        Sleep(150);  // let it finish its first paint
        return window;
      }
    }
    Sleep(50);
  } while (GetTickCount() - start < milliseconds);
  return nullptr;
}

bool WaitForWindowGone(HWND window, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(50);
  }
  return true;
}

std::vector<Control> Controls(HWND topLevel) {
  ControlCollection collection{topLevel, {}};
  EnumChildWindows(topLevel, OnChildWindow, reinterpret_cast<LPARAM>(&collection));
  return collection.controls;
}

const Control* FindByText(const std::vector<Control>& controls, const std::wstring& text) {
  for (const Control& control : controls) {
    if (control.text == text) return &control;
  }
  return nullptr;
}

SIZE ClientSize(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

HWND FocusOf(HWND topLevel) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(topLevel, nullptr), &info);
  return info.hwndFocus;
}

// ---- Input -------------------------------------------------------------------------------

void BringToFront(HWND window) {
  for (int attempt = 0; attempt < 40 && GetForegroundWindow() != window; ++attempt) {
    SetForegroundWindow(window);
    Sleep(50);
  }
}

namespace {

void SendKey(WORD key, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

void Settle() { Sleep(300); }

}  // namespace

void PressKey(WORD key) {
  SendKey(key, false);
  SendKey(key, true);
  Settle();
}

void PressAltKey(WORD key) {
  SendKey(VK_MENU, false);
  SendKey(key, false);
  SendKey(key, true);
  SendKey(VK_MENU, true);
  Settle();
}

void ClickCentre(HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  const int x = (rect.left + rect.right) / 2, y = (rect.top + rect.bottom) / 2;
  INPUT move = {};
  move.type = INPUT_MOUSE;
  move.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  move.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &move, sizeof move);
  Sleep(200);
  move.mi.dx += 20;
  SendInput(1, &move, sizeof move);
  Sleep(200);  // the pointer is over the button before it goes down
  for (DWORD flag : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
    INPUT press = {};
    press.type = INPUT_MOUSE;
    press.mi.dwFlags = flag;
    SendInput(1, &press, sizeof press);
    Sleep(50);
  }
  Settle();
}

void CloseBox(HWND window) {
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  Settle();
}

// ---- What was started --------------------------------------------------------------------

void ClearStarts() { DeleteFileW(kRecordFile); }

std::vector<StartRecord> Starts() {
  std::vector<StartRecord> starts;
  for (const std::vector<std::wstring>& fields : RecordLines(kRecordFile, 3)) {
    starts.push_back({fields[0], fields[1], fields[2]});
  }
  return starts;
}

std::vector<StartRecord> WaitForStarts(std::size_t count, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  std::vector<StartRecord> starts = Starts();
  while (starts.size() < count && GetTickCount() - start < milliseconds) {
    Sleep(50);
    starts = Starts();
  }
  return starts;
}

// ---- Screenshots -------------------------------------------------------------------------

std::wstring ScreenshotFolder() {
  const std::wstring folder = WinePathFromEnvironment("KAVRIO_SCREENSHOTS");
  return folder.empty() ? ExeFolder() + L"\\screenshots" : folder;
}

void SaveScreenshot(HWND window, const wchar_t* name) {
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();

  const DWORD stride = ((width * 3 + 3) & ~3);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + stride * height;
  const std::wstring folder = ScreenshotFolder();
  MakeFolders(folder + L"\\" + name);
  const std::wstring path = folder + L"\\" + name + L".bmp";
  HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(out, &file, sizeof file, &written, nullptr);
  WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
  WriteFile(out, bits, stride * height, &written, nullptr);
  CloseHandle(out);

  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

}  // namespace e2e
