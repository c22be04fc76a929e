// What one run of the launcher showed and started, and the verdict on it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "cell.h"
#include "cell_read_back.h"
#include "job_watch.h"
#include "window_check.h"

namespace preflight {

// How long the installer has to show its first window.
constexpr DWORD kInstallerWindowWait = 10000;

// Where a road stopped short of its end.
enum class Break {
  None,
  NotStarted,   // the launcher could not be started in its job
  Ended,        // the launcher ended before the awaited window
  NoWindow,     // the awaited window did not open in time
  OtherWindow,  // another of the launcher's forms opened in its place
  Message,      // a message box opened in its place
  NoControl,    // the window lacks the control that the road presses
};

struct RoadProgress {
  std::size_t driven = 0;  // the road's windows seen and driven, in order
  Break broke = Break::None;
  Screen awaited = Screen::Menu;  // the road's window where it broke
  Screen seen = Screen::Menu;     // OtherWindow: the form that opened instead
  DWORD waitedMs = 0;             // NoWindow: how long it was waited for
  std::wstring detail;            // NotStarted: the call that failed; NoControl: the button
};

struct RunResult {
  long long firstWindowMs = -1;  // -1: no window opened
  std::vector<SeenWindow> windows;
  RoadProgress road;
  bool launcherEnded = false;
  DWORD launcherExitCode = STILL_ACTIVE;
  bool started = false;
  launcher_driver::WatchedProcess installer;
  bool installerWindowSeen = false;
  std::wstring installerWindowTitle;
  std::wstring installerScreenshot;         // "": none was saved
  std::wstring installerScreenshotFailure;  // why a window that was seen was not saved
  std::vector<std::wstring> otherDialogs;
  CellReadBack readBack;
  // Set-up steps that failed, and how the read-back differs from the cell.
  std::vector<std::wstring> cellProblems;
  // Calls that failed on the way, each with what it was for (NoteFailedCall).
  std::vector<std::wstring> failedCalls;
  std::vector<std::wstring> problems;
};

// Adds to result.problems what differs from what the launcher promises on the cell's road:
// every window of the road seen and driven; the road's installer started from the CD, quoted,
// in C:\, showing a window (nothing on the roads that start nothing); the launcher ended and
// no crash, no other window; the cell as its label says; and no call failed on the way.
void Judge(const Cell& cell, RunResult& result);

// "exit code 0", or "exception 0xC0000005" for a crash.
std::wstring ExitText(DWORD exitCode);

// result.json, as cdtools' preflight reads it.
std::string ToJson(const RunResult& result);

}  // namespace preflight
