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
#include "cell_read_back.h"
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
  Run(const Cell& cell, const std::vector<std::wstring>& setUpFailures)
      : cell_(cell), setUpFailures_(setUpFailures) {}

  RunResult Go() {
    ReadBackSurroundings();
    before_ = e2e::VisibleWindowsOfEveryProcess();
    e2e::LaunchOptions options;
    options.recordStarts = false;
    start_ = GetTickCount();
    const std::wstring failure = e2e::StartLauncher(launcher_, options);
    if (!failure.empty()) {
      result_.road.broke = Break::NotStarted;
      result_.road.detail = failure;
      result_.cellProblems = setUpFailures_;
      Judge(cell_, result_);
      return result_;
    }
    DriveRoad();
    Finish();
    return result_;
  }

 private:
  // What the launcher will meet, read back before it starts: its registry view, drive D:,
  // and what a program started now sees.
  void ReadBackSurroundings() {
    CellReadBack& seen = result_.readBack;
    seen.browser = ReadBrowser();
    seen.driveType = GetDriveTypeW(L"D:\\");
    seen.fresh = ProbeFreshProgram();
  }

  // Each window of the road in turn: waited for, read, and driven as the road says.
  void DriveRoad() {
    RoadProgress& road = result_.road;
    for (const RoadStep& step : *cell_.road) {
      road.awaited = step.screen;
      HWND window = WaitForRoadWindow(step.screen, road.driven == 0 ? kFirstWindowWait
                                                                    : kNextWindowWait);
      if (!window) return;
      See(window, step.screen);
      if (!Act(window, step)) return;
      ++road.driven;
    }
  }

  // The road's next window, or nullptr with result_.road.broke saying why.
  HWND WaitForRoadWindow(Screen expected, DWORD wait) {
    RoadProgress& road = result_.road;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < wait) {
      for (HWND window : e2e::VisibleWindows(launcher_.process.dwProcessId)) {
        if (std::find(driven_.begin(), driven_.end(), window) != driven_.end()) continue;
        if (road.driven == 0) NoteFirstWindow();
        Screen screen;
        const bool form = FormScreen(window, screen);
        const bool box = e2e::ClassOf(window) == L"#32770";
        if ((form && screen == expected) || (box && expected == Screen::RestartWarning)) {
          Sleep(150);  // its first paint
          driven_.push_back(window);
          return window;
        }
        if (form || box) {
          road.broke = form ? Break::OtherWindow : Break::Message;
          road.seen = screen;
          if (form) {
            See(window, screen);  // what opened instead, for the page
            e2e::CloseBox(window);
          }
          return nullptr;
        }
      }
      if (!launcher_.Running()) {
        road.broke = Break::Ended;
        return nullptr;
      }
      Sleep(10);
    }
    road.broke = Break::NoWindow;
    road.waitedMs = wait;
    return nullptr;
  }

  // The launcher's first window: when it came, and the Windows that the launcher is told,
  // read from its process while it runs.
  void NoteFirstWindow() {
    if (result_.firstWindowMs >= 0) return;
    result_.firstWindowMs = GetTickCount() - start_;
    result_.readBack.windows = ReadToldWindows(launcher_.process.hProcess);
  }

  bool Act(HWND window, const RoadStep& step) {
    switch (step.action) {
      case Action::Press: {
        const wchar_t* text = ButtonText(step.screen, step.control);
        HWND control = e2e::ButtonOf(window, text);
        if (!control) {
          result_.road.broke = Break::NoControl;
          result_.road.detail = text;
          return false;
        }
        e2e::ClickCentre(control);
        return true;
      }
      case Action::Close:
        e2e::CloseBox(window);
        return true;
      case Action::Enter:
        e2e::BringToFront(window);
        e2e::PressKey(VK_RETURN);
        return true;
    }
    return false;
  }

  // Reads a window as it opens.
  void See(HWND window, Screen screen) {
    e2e::BringToFront(window);
    result_.windows.push_back(Look(window, screen));
    const std::vector<std::wstring>& problems = result_.windows.back().problems;
    result_.problems.insert(result_.problems.end(), problems.begin(), problems.end());
  }

  void Finish() {
    result_.launcherEnded = launcher_.WaitForExit(kNextWindowWait);
    result_.launcherExitCode = launcher_.ExitCode();
    if (result_.firstWindowMs < 0) {
      result_.readBack.windows.unread = result_.launcherEnded
                                            ? L"the launcher ended before showing a window"
                                            : L"the launcher showed no window";
    }
    const std::wstring expected = InstallerOf(*cell_.road);
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
    result_.cellProblems = setUpFailures_;
    for (const std::wstring& difference :
         CellDifferences(cell_, result_.readBack, PromisedColours(cell_))) {
      result_.cellProblems.push_back(difference);
    }
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
  std::vector<std::wstring> setUpFailures_;
  e2e::Launcher launcher_;
  DWORD start_ = 0;
  std::vector<HWND> before_;
  std::vector<HWND> driven_;  // the road's windows seen so far
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
  const std::vector<std::wstring> setUpFailures = preflight::ApplyCell(cell);
  preflight::RunResult result = preflight::Run(cell, setUpFailures).Go();
  const std::wstring folder = e2e::ScreenshotFolder();
  CreateDirectoryW(folder.c_str(), nullptr);
  if (!preflight::WriteFileText(folder + L"\\result.json", preflight::ToJson(result))) {
    std::fprintf(stderr, "preflight_run: cannot write %ls\\result.json\n", folder.c_str());
    return 1;
  }
  return 0;
}
