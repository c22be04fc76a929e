#include "road_driver.h"

#include <algorithm>

#include "cell_read_back.h"
#include "launcher_windows.h"

namespace preflight {

void RoadDriver::Drive() {
  RoadProgress& road = result_.road;
  for (const RoadStep& step : road_) {
    road.awaited = step.screen;
    HWND window =
        WaitForRoadWindow(step.screen, road.driven == 0 ? kFirstWindowWait : kNextWindowWait);
    if (!window) return;
    See(window, step.screen);
    if (!Act(window, step)) return;
    ++road.driven;
  }
}

HWND RoadDriver::WaitForRoadWindow(Screen expected, DWORD wait) {
  RoadProgress& road = result_.road;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < wait) {
    for (HWND window : launcher_driver::VisibleWindows(launcher_.process.id)) {
      if (std::find(driven_.begin(), driven_.end(), window) != driven_.end()) continue;
      if (road.driven == 0) NoteFirstWindow();
      if (!Ends(window, expected)) continue;
      if (road.broke != Break::None) return nullptr;
      Sleep(150);  // its first paint
      driven_.push_back(window);
      return window;
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

bool RoadDriver::Ends(HWND window, Screen expected) {
  Screen screen = expected;
  const bool form = FormScreen(window, screen);
  const bool box = launcher_driver::ClassOf(window) == L"#32770";
  if ((form && screen == expected) || (box && expected == Screen::RestartWarning)) return true;
  if (!form && !box) return false;  // not yet one of the launcher's windows
  RoadProgress& road = result_.road;
  road.broke = form ? Break::OtherWindow : Break::Message;
  road.seen = screen;
  if (form) {
    See(window, screen);  // what opened instead, for the page
    launcher_driver::CloseBox(window);
  }
  return true;
}

// The launcher's first window: when it came, and the Windows that the launcher is told,
// read from its process while it runs.
void RoadDriver::NoteFirstWindow() {
  if (result_.firstWindowMs >= 0) return;
  result_.firstWindowMs = GetTickCount() - started_;
  result_.readBack.windows = ReadToldWindows(launcher_.process.handle.Get());
}

bool RoadDriver::Act(HWND window, const RoadStep& step) {
  switch (step.action) {
    case Action::Press: {
      const wchar_t* text = ButtonText(step.screen, step.control);
      HWND control = launcher_driver::ButtonOf(window, text);
      if (!control) {
        result_.road.broke = Break::NoControl;
        result_.road.detail = text;
        return false;
      }
      launcher_driver::ClickCentre(control);
      return true;
    }
    case Action::Close:
      launcher_driver::CloseBox(window);
      return true;
    case Action::Enter:
      launcher_driver::BringToFront(window);
      launcher_driver::PressKey(VK_RETURN);
      return true;
  }
  return false;
}

// Reads a window as it opens.
void RoadDriver::See(HWND window, Screen screen) {
  launcher_driver::BringToFront(window);
  result_.windows.push_back(Look(window, screen));
  const std::vector<std::wstring>& problems = result_.windows.back().problems;
  result_.problems.insert(result_.problems.end(), problems.begin(), problems.end());
}

}  // namespace preflight
