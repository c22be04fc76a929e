// What one run of the launcher showed and started, and the verdict on it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "cell.h"
#include "job_watch.h"
#include "window_check.h"

namespace preflight {

// How long the installer has to show its first window.
constexpr DWORD kInstallerWindowWait = 10000;

struct RunResult {
  long long firstWindowMs = -1;  // -1: no window opened
  std::vector<SeenWindow> windows;
  bool driven = false;  // the road's first window was the one that it begins with
  bool launcherEnded = false;
  DWORD launcherExitCode = STILL_ACTIVE;
  bool started = false;
  e2e::WatchedProcess installer;
  std::wstring installerWindowTitle;
  std::wstring installerScreenshot;  // "": it showed no window
  std::vector<std::wstring> otherDialogs;
  std::vector<std::wstring> problems;
};

// Adds to result.problems what differs from what the launcher promises on the cell's road:
// the road's installer started from the CD, quoted, in C:\, showing a window (nothing on the
// roads that start nothing), the launcher ended and no crash, no other window.
void Judge(const Cell& cell, RunResult& result);

// result.json, as cdtools' preflight reads it.
std::string ToJson(const RunResult& result);

}  // namespace preflight
