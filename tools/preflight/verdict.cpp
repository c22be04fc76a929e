#include "run_result.h"

namespace preflight {

void Judge(const Cell& cell, RunResult& result) {
  const std::wstring expected = InstallerOf(cell.road);
  std::vector<std::wstring>& problems = result.problems;
  const e2e::WatchedProcess& started = result.installer;
  if (!result.driven && !result.started) {
    // The road could not be driven: what it would have started is not its fault.
  } else if (expected.empty() && result.started) {
    problems.push_back(L"started " + started.program + L" on a road that starts nothing");
  } else if (!expected.empty() && !result.started) {
    problems.push_back(L"nothing started: " + expected + L" was expected");
  } else if (result.started) {
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
    if (result.installerScreenshot.empty()) {
      problems.push_back(started.ended ? L"the installer ended (exit code " +
                                             std::to_wstring(static_cast<long>(started.exitCode)) +
                                             L") without showing a window"
                                       : L"the installer showed no window within " +
                                             std::to_wstring(kInstallerWindowWait / 1000) + L" s");
    }
  }
  if (!result.launcherEnded) problems.push_back(L"the launcher did not end");
  if (result.launcherEnded && result.launcherExitCode >= 0xC0000000) {
    wchar_t code[16];
    wsprintfW(code, L"0x%08lX", result.launcherExitCode);
    problems.push_back(std::wstring(L"the launcher crashed (exception ") + code + L")");
  }
  for (const std::wstring& dialog : result.otherDialogs) {
    problems.push_back(L"another window opened: " + dialog);
  }
}

}  // namespace preflight
