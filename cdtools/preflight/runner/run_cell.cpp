#include "run_cell.h"

#include "cell_read_back.h"
#include "driver.h"
#include "installer_watch.h"
#include "other_windows.h"
#include "road_driver.h"

namespace preflight {

namespace {

// What the launcher will meet, read back before it starts: its registry view, drive D:,
// and what a program started now sees.
void ReadBackSurroundings(CellReadBack& seen) {
  seen.browser = ReadBrowser();
  seen.driveType = GetDriveTypeW(L"D:\\");
  seen.fresh = ProbeFreshProgram();
}

// After the road: the launcher's end, what it started, what else opened; then every process
// that it started is ended.
void WatchTheEnd(const Cell& cell, launcher_driver::Launcher& launcher,
                 const std::vector<HWND>& before, RunResult& result) {
  result.launcherEnded = launcher.WaitForExit(kNextWindowWait);
  result.launcherExitCode = launcher.ExitCode();
  if (result.firstWindowMs < 0) {
    result.readBack.windows.unread = result.launcherEnded
                                         ? L"the launcher ended before showing a window"
                                         : L"the launcher showed no window";
  }
  InstallerWatch installer(launcher);
  installer.Watch(cell.road->installer != nullptr, result);
  result.otherDialogs = OtherWindows(before, launcher.process.id, installer);
  const std::wstring ended = launcher.started.EndAll();
  if (!ended.empty()) launcher_driver::NoteFailedCall(L"ending the launcher's processes", ended);
}

}  // namespace

RunResult RunCell(const Cell& cell, const std::vector<std::wstring>& setUpFailures) {
  RunResult result;
  result.cellProblems = setUpFailures;
  ReadBackSurroundings(result.readBack);
  const std::vector<HWND> before = launcher_driver::VisibleWindowsOfEveryProcess();
  launcher_driver::LaunchOptions options;
  options.recordStarts = false;
  const DWORD started = GetTickCount();
  {
    launcher_driver::Launcher launcher;  // its job, and every process in it, ends with it
    const std::wstring failure = launcher_driver::StartLauncher(launcher, options);
    if (failure.empty()) {
      RoadDriver(*cell.road, launcher, started, result).Drive();
      WatchTheEnd(cell, launcher, before, result);
    } else {
      result.road.broke = Break::NotStarted;
      result.road.detail = failure;
      result.readBack.windows.unread = L"the launcher did not start";
    }
  }
  for (const std::wstring& difference :
       CellDifferences(cell, result.readBack, PromisedColours(cell))) {
    result.cellProblems.push_back(difference);
  }
  result.failedCalls = launcher_driver::TakeFailedCalls();
  Judge(cell, result);
  return result;
}

}  // namespace preflight
