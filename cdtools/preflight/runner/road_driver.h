// A cell's road driven through the launcher's windows: each window waited for, read and
// saved, and pressed as the road says; where the road breaks, why.
#pragma once

#include <windows.h>

#include <vector>

#include "driver.h"
#include "roads.h"
#include "run_result.h"

namespace preflight {

// How long the launcher has to show its first window, and each later one.
constexpr DWORD kFirstWindowWait = 30000;
constexpr DWORD kNextWindowWait = 10000;

class RoadDriver {
 public:
  // `started`: GetTickCount() as the launcher was started.
  RoadDriver(const RoadDefinition& road, launcher_driver::Launcher& launcher, DWORD started,
             RunResult& result)
      : road_(road), launcher_(launcher), started_(started), result_(result) {}

  // Fills result.windows, result.road, result.firstWindowMs and the Windows that the
  // launcher is told (read from its process as its first window shows).
  void Drive();

 private:
  HWND WaitForRoadWindow(Screen expected, DWORD wait);
  // Whether `window` ends the wait: it is the one expected, or another of the launcher's
  // windows in its place (result.road.broke then says which).
  bool Ends(HWND window, Screen expected);
  void NoteFirstWindow();
  bool Act(HWND window, const RoadStep& step);
  void See(HWND window, Screen screen);

  const RoadDefinition& road_;
  launcher_driver::Launcher& launcher_;
  DWORD started_;
  RunResult& result_;
  std::vector<HWND> driven_;  // the road's windows seen so far
};

}  // namespace preflight
