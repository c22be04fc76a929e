// Another process's windows read from outside: which are visible, their controls, texts,
// sizes and focus.
#include "driver.h"

namespace launcher_driver {

namespace {

// A window may go between being found and being read (the launcher replaces its forms as it
// goes): such a read is no failure. Any other is noted.
void NoteUnlessGone(const wchar_t* call, HWND window) {
  const DWORD error = GetLastError();
  if (error != ERROR_INVALID_WINDOW_HANDLE && IsWindow(window)) {
    NoteFailedCall(L"reading a window", CallFailed(call, error));
  }
}

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
  if (!GetWindowRect(window, &control.rect)) {
    NoteUnlessGone(L"GetWindowRect", window);
    return TRUE;  // a control whose place is not known is not listed
  }
  MapWindowPoints(nullptr, collection->top, reinterpret_cast<POINT*>(&control.rect), 2);
  collection->controls.push_back(control);
  return TRUE;
}

}  // namespace

std::vector<HWND> VisibleWindowsOfEveryProcess() { return VisibleWindows(0); }

std::vector<HWND> VisibleWindows(DWORD processId) {
  WindowSearch search{processId, {}};
  if (!EnumWindows(OnTopLevelWindow, reinterpret_cast<LPARAM>(&search))) {
    NoteFailedCall(L"listing the windows", CallFailed(L"EnumWindows"));
  }
  return search.found;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  if (GetClassNameW(window, name, 128) == 0) NoteUnlessGone(L"GetClassNameW", window);
  return name;
}

std::wstring TextOf(HWND window) {
  // WM_GETTEXT works across processes, and the text comes back as Unicode.
  wchar_t text[1024] = {};
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, 5000, nullptr)) {
    NoteUnlessGone(L"SendMessageTimeoutW(WM_GETTEXT)", window);
  }
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
  // Its answer means nothing (EnumChildWindows' documentation): a failure shows as no controls.
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
  if (!GetClientRect(window, &client)) NoteUnlessGone(L"GetClientRect", window);
  return {client.right, client.bottom};
}

HWND FocusOf(HWND topLevel) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(topLevel, nullptr), &info)) {
    NoteUnlessGone(L"GetGUIThreadInfo", topLevel);
  }
  return info.hwndFocus;
}

}  // namespace launcher_driver
