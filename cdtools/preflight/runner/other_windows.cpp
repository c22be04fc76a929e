#include "other_windows.h"

#include <algorithm>

#include "window_check.h"

namespace preflight {

namespace {

// The window's static texts, one after the other.
std::wstring TextsOf(HWND window) {
  std::wstring text;
  for (const launcher_driver::Control& control : launcher_driver::Controls(window)) {
    if (control.className == L"Static" && !control.text.empty()) {
      text += (text.empty() ? L"" : L" ") + control.text;
    }
  }
  return text;
}

}  // namespace

std::vector<std::wstring> OtherWindows(const std::vector<HWND>& before, DWORD launcherId,
                                       InstallerWatch& installer) {
  std::vector<std::wstring> others;
  for (HWND window : launcher_driver::VisibleWindowsOfEveryProcess()) {
    if (std::find(before.begin(), before.end(), window) != before.end()) continue;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (installer.IsInstallerProcess(owner)) continue;
    Screen screen;
    if (owner == launcherId && FormScreen(window, screen)) continue;
    const std::wstring text = TextsOf(window);
    others.push_back(L"\"" + launcher_driver::TextOf(window) + L"\"" +
                     (text.empty() ? L"" : L": " + text));
  }
  return others;
}

}  // namespace preflight
