// Runs D:\kavrio.exe once for one cell of the preflight's matrix and writes what happened
// to <folder>\result.json, beside the screenshots (the folder is KAVRIO_SCREENSHOTS):
//
//   preflight_run --windows MODE --dpi N --browser TEXT|none --colours system|high-contrast
//                 --road NAME
//
// It sets up the cell, starts the launcher, drives the road through its windows with real
// mouse and keyboard input, and reads every window on the way. What the launcher started is
// read from the started process itself; its first window is saved, then it is ended with
// every process that it started. Exit 0 when the result is written (whatever it says), 2
// when the arguments are off.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "cell.h"
#include "driver.h"
#include "launcher_windows.h"
#include "run_result.h"
#include "window_check.h"

namespace preflight {

namespace {

constexpr DWORD kFirstWindowWait = 30000;
constexpr DWORD kNextWindowWait = 10000;
constexpr DWORD kStartWait = 10000;
// How long a road that starts nothing is watched for a late start.
constexpr DWORD kNothingStartsWait = 1500;

bool IsCrashHandler(const e2e::WatchedProcess& process) {
  const std::wstring& path = process.program;
  const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
  return CompareStringOrdinal(name.c_str(), -1, L"winedbg.exe", -1, TRUE) == CSTR_EQUAL;
}


class Run {
 public:
  explicit Run(const Cell& cell) : cell_(cell) {}

  RunResult Go() {
    before_ = e2e::VisibleWindowsOfEveryProcess();
    e2e::LaunchOptions options;
    options.recordStarts = false;
    const DWORD start = GetTickCount();
    e2e::StartLauncher(launcher_, options);
    if (!launcher_.process.hProcess) {
      result_.problems.push_back(L"D:\\kavrio.exe could not be started");
      return result_;
    }
    if (HWND first = WaitForFirstWindow()) {
      result_.firstWindowMs = GetTickCount() - start;
      Sleep(150);  // its first paint
      DriveRoad(first);
    }
    Finish();
    return result_;
  }

 private:
  // The launcher's first form, or nullptr when it ended, showed something else, or time ran
  // out.
  HWND WaitForFirstWindow() {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kFirstWindowWait) {
      for (HWND window : e2e::VisibleWindows(launcher_.process.dwProcessId)) {
        Screen screen;
        if (FormScreen(window, screen)) return window;
        if (e2e::ClassOf(window) == L"#32770") return nullptr;  // a message of its own
      }
      if (!launcher_.Running()) return nullptr;
      Sleep(10);
    }
    result_.problems.push_back(L"no window opened within " +
                               std::to_wstring(kFirstWindowWait / 1000) + L" s");
    return nullptr;
  }

  void DriveRoad(HWND first) {
    Screen screen;
    FormScreen(first, screen);
    const Screen expected = StartsAtTheMenu(cell_.road) ? Screen::Menu : Screen::Prompt;
    See(first, screen);
    if (screen != expected) {
      result_.problems.push_back(std::wstring(L"the ") + NameOf(screen) + L" opened where the " +
                                 NameOf(expected) + L" was expected");
      e2e::CloseBox(first);
      return;
    }
    result_.driven = true;
    switch (cell_.road) {
      case Road::MenuHome:
        Press(first, L"Kavrio");
        break;
      case Road::MenuBusinessNext:
      case Road::MenuBusinessExit: {
        Press(first, L"Kavrio Business");
        HWND business = e2e::WaitForForm(launcher_.process.dwProcessId, L"&Avançar",
                                         kNextWindowWait);
        if (!business) {
          result_.problems.push_back(L"the business window did not open");
          return;
        }
        See(business, Screen::Business);
        Press(business, cell_.road == Road::MenuBusinessNext ? L"&Avançar" : L"&Sair");
        break;
      }
      case Road::MenuClose:
        e2e::CloseBox(first);
        break;
      case Road::PromptYes: {
        Press(first, L"&Sim");
        HWND warning = e2e::WaitForWindow(launcher_.process.dwProcessId, L"Kavrio", L"#32770",
                                          kNextWindowWait);
        if (!warning) {
          result_.problems.push_back(L"the restart warning did not open");
          return;
        }
        See(warning, Screen::RestartWarning);
        e2e::BringToFront(warning);
        e2e::PressKey(VK_RETURN);
        break;
      }
      case Road::PromptNo:
        Press(first, L"&Não");
        break;
    }
  }

  // Reads a window as it opens.
  void See(HWND window, Screen screen) {
    e2e::BringToFront(window);
    result_.windows.push_back(Look(window, screen));
    const std::vector<std::wstring>& problems = result_.windows.back().problems;
    result_.problems.insert(result_.problems.end(), problems.begin(), problems.end());
  }

  void Press(HWND window, const wchar_t* button) {
    HWND control = e2e::ButtonOf(window, button);
    if (!control) {
      result_.problems.push_back(std::wstring(L"no button \"") + button + L"\" to press");
      return;
    }
    e2e::ClickCentre(control);
  }

  void Finish() {
    result_.launcherEnded = launcher_.WaitForExit(kNextWindowWait);
    result_.launcherExitCode = launcher_.ExitCode();
    const std::wstring expected = InstallerOf(cell_.road);
    const DWORD start = GetTickCount();
    const DWORD wait = expected.empty() ? kNothingStartsWait : kStartWait;
    while (!FindInstaller() && GetTickCount() - start < wait) Sleep(20);
    if (result_.started) {
      // What it was started with is read from it as soon as its loader has set it up.
      const DWORD named = GetTickCount();
      while (FindInstaller() && !result_.installer.settled && GetTickCount() - named < 25000) {
        Sleep(20);
      }
      WatchInstaller();
    }
    CollectOtherDialogs();
    Judge(cell_, result_);
    launcher_.started.EndAll();
  }

  // A process of the installer's: one that the launcher started (or theirs), other than the
  // launcher itself and Wine's crash handler.
  bool IsInstaller(const e2e::WatchedProcess& process) const {
    return process.id != launcher_.process.dwProcessId && !IsCrashHandler(process);
  }

  // The first process of the installer's, as the job watch knows it now.
  bool FindInstaller() {
    for (const e2e::WatchedProcess& process : launcher_.started.Processes()) {
      if (IsInstaller(process)) {
        result_.started = true;
        result_.installer = process;
        return true;
      }
    }
    return false;
  }

  bool IsInstallerProcess(DWORD id) {
    for (const e2e::WatchedProcess& process : launcher_.started.Processes()) {
      if (process.id == id) return IsInstaller(process);
    }
    return false;
  }

  HWND InstallerWindow() {
    for (HWND window : e2e::VisibleWindowsOfEveryProcess()) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (IsInstallerProcess(owner)) return window;
    }
    return nullptr;
  }

  // Waits for the installer's first window, saves it, and notes whether the installer ended.
  void WatchInstaller() {
    const DWORD start = GetTickCount();
    HWND window = nullptr;
    while (!(window = InstallerWindow()) && GetTickCount() - start < kInstallerWindowWait) {
      if (AllInstallerProcessesEnded()) break;
      Sleep(50);
    }
    if (window) {
      Sleep(500);  // its first paint
      result_.installerWindowTitle = e2e::TextOf(window);
      e2e::SaveScreenshot(window, L"installer");
      result_.installerScreenshot = L"installer.bmp";
    }
    FindInstaller();  // its exit, if it has ended
  }

  bool AllInstallerProcessesEnded() {
    for (const e2e::WatchedProcess& process : launcher_.started.Processes()) {
      if (IsInstaller(process) && !process.ended) return false;
    }
    return true;
  }

  // New windows that are neither the launcher's forms and warning nor the installer's.
  void CollectOtherDialogs() {
    for (HWND window : e2e::VisibleWindowsOfEveryProcess()) {
      if (std::find(before_.begin(), before_.end(), window) != before_.end()) continue;
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (IsInstallerProcess(owner)) continue;
      Screen screen;
      if (owner == launcher_.process.dwProcessId && FormScreen(window, screen)) continue;
      std::wstring text;
      for (const e2e::Control& control : e2e::Controls(window)) {
        if (control.className == L"Static" && !control.text.empty()) {
          text += (text.empty() ? L"" : L" ") + control.text;
        }
      }
      result_.otherDialogs.push_back(L"\"" + e2e::TextOf(window) + L"\"" +
                                     (text.empty() ? L"" : L": " + text));
    }
  }


  Cell cell_;
  e2e::Launcher launcher_;
  std::vector<HWND> before_;
  RunResult result_;
};

bool WriteFileText(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == text.size();
}

}  // namespace

}  // namespace preflight

int wmain(int argc, wchar_t** argv) {
  preflight::Cell cell;
  std::wstring error;
  if (!preflight::ParseCell(argc, argv, cell, error)) {
    std::fprintf(stderr, "preflight_run: %ls\n", error.c_str());
    return 2;
  }
  preflight::ApplyCell(cell);
  const preflight::RunResult result = preflight::Run(cell).Go();
  const std::wstring folder = e2e::ScreenshotFolder();
  CreateDirectoryW(folder.c_str(), nullptr);
  if (!preflight::WriteFileText(folder + L"\\result.json", preflight::ToJson(result))) {
    std::fprintf(stderr, "preflight_run: cannot write %ls\\result.json\n", folder.c_str());
    return 1;
  }
  return 0;
}
