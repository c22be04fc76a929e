#include "run_result.h"

namespace preflight {

namespace {

constexpr DWORD kFirstCrashCode = 0xC0000000;  // exception codes that end a process

std::wstring BreakProblem(const RoadProgress& road, DWORD exitCode) {
  const std::wstring awaited = Described(road.awaited);
  switch (road.broke) {
    case Break::None:
      return L"";
    case Break::NotStarted:
      return L"D:\\kavrio.exe could not be started in its job: " + road.detail;
    case Break::Ended:
      return L"the launcher ended (" + ExitText(exitCode) + L") before showing " + awaited;
    case Break::NoWindow:
      return awaited + L" did not open within " + std::to_wstring(road.waitedMs / 1000) + L" s";
    case Break::OtherWindow:
      return std::wstring(Described(road.seen)) + L" opened where " + awaited + L" was expected";
    case Break::Message:
      return L"a message box opened where " + awaited + L" was expected";
    case Break::NoControl:
      return awaited + L" has no button " + Quoted(road.detail) + L" to press";
  }
  return L"";
}

// The road's end: its installer started from the CD as promised, or nothing started.
void JudgeEnd(const std::wstring& expected, RunResult& result) {
  std::vector<std::wstring>& problems = result.problems;
  const launcher_driver::WatchedProcess& started = result.installer;
  if (expected.empty()) {
    if (result.started) {
      problems.push_back(L"started " + started.program + L" on a road that starts nothing");
    }
    return;
  }
  if (!result.started) {
    problems.push_back(L"nothing started: " + expected + L" was expected");
    return;
  }
  if (!started.read) {
    problems.push_back(L"what started could not be read from it: " + started.unread);
  }
  if (started.program != expected) {
    problems.push_back(L"started " + started.program + L", not " + expected);
  }
  if (started.read && started.commandLine != Quoted(expected)) {
    problems.push_back(L"its command line is " + started.commandLine + L", not " +
                       Quoted(expected));
  }
  if (started.read && started.workingFolder != L"C:\\") {
    problems.push_back(L"its working folder is " + Quoted(started.workingFolder) +
                       L", not \"C:\\\"");
  }
  if (!result.installerWindowSeen) {
    problems.push_back(started.ended ? L"the installer ended (exit code " +
                                           std::to_wstring(static_cast<long>(started.exitCode)) +
                                           L") without showing a window"
                                     : L"the installer showed no window within " +
                                           std::to_wstring(kInstallerWindowWait / 1000) + L" s");
  } else if (!result.installerScreenshotFailure.empty()) {
    problems.push_back(L"the installer's window could not be saved: " +
                       result.installerScreenshotFailure);
  }
}

}  // namespace

std::wstring ExitText(DWORD exitCode) {
  if (exitCode < kFirstCrashCode) return L"exit code " + std::to_wstring(exitCode);
  wchar_t code[16];
  wsprintfW(code, L"0x%08lX", exitCode);
  return std::wstring(L"exception ") + code;
}

void Judge(const Cell& cell, RunResult& result) {
  std::vector<std::wstring>& problems = result.problems;
  const RoadProgress& road = result.road;
  if (road.broke != Break::None) {
    problems.push_back(BreakProblem(road, result.launcherExitCode));
    if (result.started) {
      problems.push_back(L"started " + result.installer.program +
                         L" though its road was not driven to its end");
    }
  } else if (road.driven < cell.road->stepCount) {
    problems.push_back(L"the road was driven through " + std::to_wstring(road.driven) + L" of " +
                       std::to_wstring(cell.road->stepCount) + L" windows");
  } else {
    JudgeEnd(InstallerOf(*cell.road), result);
  }
  if (!result.launcherEnded && road.broke != Break::NotStarted) {
    problems.push_back(L"the launcher did not end");
  }
  if (result.launcherEnded && result.launcherExitCode >= kFirstCrashCode) {
    problems.push_back(L"the launcher crashed (" + ExitText(result.launcherExitCode) + L")");
  }
  for (const std::wstring& dialog : result.otherDialogs) {
    problems.push_back(L"another window opened: " + dialog);
  }
  problems.insert(problems.end(), result.cellProblems.begin(), result.cellProblems.end());
  problems.insert(problems.end(), result.failedCalls.begin(), result.failedCalls.end());
}

}  // namespace preflight
