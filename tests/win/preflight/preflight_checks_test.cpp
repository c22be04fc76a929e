// The preflight's judgement: a live window read against the launcher's promise for it, and
// the verdict on what a run started. A release passes or fails on these.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "change_row.h"
#include "launcher_windows.h"
#include "roads.h"
#include "run_result.h"
#include "win/done.h"
#include "window_check.h"

namespace preflight {
namespace {

// ---- A window read against its promise ---------------------------------------------------

struct ChildSpec {
  const wchar_t* className;
  std::wstring text;
  RECT rect;
  int parent;  // -1: the window; else the index of the child that holds it
};

struct MenuSpec {
  std::wstring title = L"Kavrio";
  std::vector<ChildSpec> children = {
      {L"Static", L"", {144, 16, 433, 73}, -1},  // the heading's box
      {L"Static", launcher_driver::kLabel2Menu, {40, 16, 263, 48}, 0},
      {L"Button", L"&Sair", {344, 304, 425, 337}, -1},
      {L"Static", L"", {-8, -16, 545, 297}, -1},  // the frame whose bottom is the etched line
      {L"Button", L"Kavrio", {152, 136, 441, 169}, 3},
      {L"Button", L"Kavrio Business", {152, 184, 441, 217}, 3},
  };
  int focus = 4;
  int x = -1;  // -1: centred
  bool screenshotBlocked = false;  // a folder stands where the screenshot would go
};

HWND Build(const MenuSpec& spec) {
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
  RECT frame = {0, 0, 450, 344};
  AdjustWindowRect(&frame, style, FALSE);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const int x = spec.x >= 0 ? spec.x : (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  HWND window = CreateWindowExW(0, L"Static", spec.title.c_str(), style, x, 100, width, height,
                                nullptr, nullptr, nullptr, nullptr);
  std::vector<HWND> made;
  for (const ChildSpec& child : spec.children) {
    const RECT& r = child.rect;
    made.push_back(CreateWindowExW(0, child.className, child.text.c_str(), WS_CHILD | WS_VISIBLE,
                                   r.left, r.top, r.right - r.left, r.bottom - r.top,
                                   child.parent < 0 ? window : made[child.parent], nullptr,
                                   nullptr, nullptr));
  }
  launcher_driver::BringToFront(window);
  SetFocus(made[spec.focus]);
  return window;
}

TEST(WindowCheck, NamesWhatDiffersFromTheLaunchersWindow) {
  const std::wstring screenEdge = std::to_wstring(GetSystemMetrics(SM_CXSCREEN) - 200);
  const ChangeRow<MenuSpec> rows[] = {
      {"as the launcher shows it", [](MenuSpec&) {}, {}},
      {"a text that differs", [](MenuSpec& s) { s.children[5].text = L"Kavrio Busines"; },
       {L"menu: no control reads \"Kavrio Business\"",
        L"menu: a control reads \"Kavrio Busines\", which the launcher never shows"}},
      {"a button below the window", [](MenuSpec& s) { s.children[2].rect = {344, 330, 425, 363}; },
       {L"menu: \"&Sair\" lies outside the window"}},
      {"the etched line below the window",
       [](MenuSpec& s) { s.children[3].rect.bottom = 350; },
       {L"menu: a Static control lies outside the window"}},
      {"the focus elsewhere", [](MenuSpec& s) { s.focus = 2; },
       {L"menu: the focus is on \"&Sair\", not on \"Kavrio\""}},
      {"another title", [](MenuSpec& s) { s.title = L"Kavrio 2"; },
       {L"menu: the title reads \"Kavrio 2\""}},
      {"past the screen's edge",
       [](MenuSpec& s) { s.x = GetSystemMetrics(SM_CXSCREEN) - 200; },
       {L"menu: the window reaches past the screen's edge"}},
      {"a screenshot that cannot be written", [](MenuSpec& s) { s.screenshotBlocked = true; },
       {L"menu: its screenshot could not be saved: CreateFileW failed with error 5"}},
  };
  const std::wstring blocker = launcher_driver::ScreenshotFolder() + L"\\menu.bmp";
  for (const ChangeRow<MenuSpec>& row : rows) {
    SCOPED_TRACE(row.name);
    MenuSpec spec;
    row.change(spec);
    if (spec.screenshotBlocked) {
      DeleteFileW(blocker.c_str());  // the screenshot of an earlier row
      ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr))
          << launcher_driver::CallFailed(L"CreateDirectoryW");
    }
    HWND window = Build(spec);
    const SeenWindow seen = Look(window, Screen::Menu);
    EXPECT_EQ(seen.problems, row.problems);
    // A screenshot that was not written is not listed.
    EXPECT_EQ(seen.screenshot, spec.screenshotBlocked ? L"" : L"menu.bmp");
    DestroyWindow(window);
    if (spec.screenshotBlocked) {
      EXPECT_TRUE(RemoveDirectoryW(blocker.c_str()));
    }
  }
  EXPECT_TRUE(NoCallFailed());
}

// ---- The verdict on a run ------------------------------------------------------------------

// What the home road promises: every window driven, D:\Setup.exe started as it should be
// and showing a window, and the launcher ended.
RunResult AsPromised(const RoadDefinition& road) {
  RunResult result;
  result.road.driven = road.stepCount;
  result.launcherEnded = true;
  result.launcherExitCode = 0;
  result.started = true;
  result.installer.program = launcher_driver::kHomeSetup;
  result.installer.commandLine = L"\"D:\\Setup.exe\"";
  result.installer.workingFolder = L"C:\\";
  result.installer.read = true;
  result.installerWindowSeen = true;
  result.installerScreenshot = L"installer.bmp";
  return result;
}

void ShowsNoWindow(RunResult& r) {
  r.installerWindowSeen = false;
  r.installerScreenshot.clear();
}

void StartsNothing(RunResult& r) {
  ShowsNoWindow(r);
  r.started = false;
  r.installer = {};
}

// The road broke at its `driven`th window, awaiting `awaited`, and nothing started.
std::function<void(RunResult&)> BrokeAt(Break broke, std::size_t driven, Screen awaited,
                                        bool ended = true) {
  return [=](RunResult& r) {
    StartsNothing(r);
    r.road.broke = broke;
    r.road.driven = driven;
    r.road.awaited = awaited;
    r.launcherEnded = ended;
    r.launcherExitCode = ended ? 0 : STILL_ACTIVE;
  };
}

TEST(Verdict, NamesWhatDiffersFromWhatTheRoadPromises) {
  struct Row {
    const char* name;
    const wchar_t* road;
    std::function<void(RunResult&)> change;
    std::vector<std::wstring> problems;
  };
  const std::wstring kErrorBox = L"\"Kavrio\": Erro 11002: GetValue";
  const Row rows[] = {
      {"the home setup, as promised", L"menu-home", [](RunResult&) {}, {}},
      {"nothing on a road that starts nothing", L"menu-close", StartsNothing, {}},
      {"nothing where the agent was due", L"menu-business-next", StartsNothing,
       {L"nothing started: D:\\Agente Plimox\\Instalador Assistente Kavrio.exe was expected"}},
      {"something on a road that starts nothing", L"prompt-no", [](RunResult&) {},
       {L"started D:\\Setup.exe on a road that starts nothing"}},
      {"another installer", L"prompt-yes", [](RunResult&) {},
       {L"started D:\\Setup.exe, not D:\\Internet Explorer 5.5\\ie5setup.exe",
        L"its command line is \"D:\\Setup.exe\", not \"D:\\Internet Explorer 5.5\\ie5setup.exe\""}},
      {"an unquoted command line", L"menu-home",
       [](RunResult& r) { r.installer.commandLine = L"D:\\Setup.exe"; },
       {L"its command line is D:\\Setup.exe, not \"D:\\Setup.exe\""}},
      {"the CD as working folder", L"menu-home",
       [](RunResult& r) { r.installer.workingFolder = L"D:\\"; },
       {L"its working folder is \"D:\\\", not \"C:\\\""}},
      {"an installer that ends at once", L"menu-home",
       [](RunResult& r) {
         ShowsNoWindow(r);
         r.installer.ended = true;
         r.installer.exitCode = 7;
       },
       {L"the installer ended (exit code 7) without showing a window"}},
      {"an installer that shows nothing", L"menu-home", ShowsNoWindow,
       {L"the installer showed no window within 10 s"}},
      {"an installer's window that was seen but could not be saved", L"menu-home",
       [](RunResult& r) {
         r.installerScreenshot.clear();
         r.installerScreenshotFailure = L"CreateFileW failed with error 5";
       },
       {L"the installer's window could not be saved: CreateFileW failed with error 5"}},
      {"a start that could not be read", L"menu-home",
       [](RunResult& r) {
         r.installer.read = false;
         r.installer.unread = L"it ended before its parameters could be read";
       },
       {L"what started could not be read from it: it ended before its parameters could be read"}},
      {"a launcher that stays, and another window", L"menu-close",
       [&](RunResult& r) {
         StartsNothing(r);
         r.launcherEnded = false;
         r.otherDialogs = {kErrorBox};
       },
       {L"the launcher did not end", L"another window opened: " + kErrorBox}},
      {"a launcher that crashed", L"menu-close",
       [](RunResult& r) {
         StartsNothing(r);
         r.launcherExitCode = 0xC0000005;
       },
       {L"the launcher crashed (exception 0xC0000005)"}},
      {"a launcher that ends at once", L"menu-home", BrokeAt(Break::Ended, 0, Screen::Menu),
       {L"the launcher ended (exit code 0) before showing the menu"}},
      {"a launcher that crashes before its first window", L"prompt-no",
       [](RunResult& r) {
         BrokeAt(Break::Ended, 0, Screen::Prompt)(r);
         r.launcherExitCode = 0xC0000005;
       },
       {L"the launcher ended (exception 0xC0000005) before showing the prompt",
        L"the launcher crashed (exception 0xC0000005)"}},
      {"a launcher that ends in the middle of its road", L"menu-business-exit",
       BrokeAt(Break::Ended, 1, Screen::Business),
       {L"the launcher ended (exit code 0) before showing the business window"}},
      {"a launcher that could not be put into its job", L"menu-home",
       [](RunResult& r) {
         BrokeAt(Break::NotStarted, 0, Screen::Menu, false)(r);
         r.road.detail = L"AssignProcessToJobObject failed with error 5";
       },
       {L"D:\\kavrio.exe could not be started in its job: AssignProcessToJobObject failed with "
        L"error 5"}},
      {"the prompt where the menu was due", L"menu-close",
       [](RunResult& r) {
         BrokeAt(Break::OtherWindow, 0, Screen::Menu)(r);
         r.road.seen = Screen::Prompt;
       },
       {L"the prompt opened where the menu was expected"}},
      {"a message box in the menu's place", L"menu-home",
       [&](RunResult& r) {
         BrokeAt(Break::Message, 0, Screen::Menu)(r);
         r.otherDialogs = {kErrorBox};
       },
       {L"a message box opened where the menu was expected",
        L"another window opened: " + kErrorBox}},
      {"a restart warning that never opens", L"prompt-yes",
       [](RunResult& r) {
         BrokeAt(Break::NoWindow, 1, Screen::RestartWarning, false)(r);
         r.road.waitedMs = 10000;
       },
       {L"the restart warning did not open within 10 s", L"the launcher did not end"}},
      {"a window without the button that the road presses", L"menu-business-next",
       [](RunResult& r) {
         BrokeAt(Break::NoControl, 1, Screen::Business, false)(r);
         r.road.detail = L"&Avançar";
       },
       {L"the business window has no button \"&Avançar\" to press", L"the launcher did not end"}},
      {"a road driven part of the way, with no reason given", L"menu-business-next",
       [](RunResult& r) { r.road.driven = 1; },
       {L"the road was driven through 1 of 2 windows"}},
      {"an installer started by a launcher that never showed its menu", L"menu-home",
       [](RunResult& r) {
         r.road.broke = Break::Ended;
         r.road.driven = 0;
       },
       {L"the launcher ended (exit code 0) before showing the menu",
        L"started D:\\Setup.exe though its road was not driven to its end"}},
      {"a cell that was not set up", L"menu-home",
       [](RunResult& r) { r.cellProblems = {L"dpi: RegSetValueExW failed with error 5"}; },
       {L"dpi: RegSetValueExW failed with error 5"}},
      {"a key press that did not go in", L"menu-home",
       [](RunResult& r) { r.failedCalls = {L"pressing a key: SendInput failed with error 5"}; },
       {L"pressing a key: SendInput failed with error 5"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Cell cell;
    cell.road = RoadNamed(row.road);
    ASSERT_NE(cell.road, nullptr);
    RunResult result = AsPromised(*cell.road);
    row.change(result);
    Judge(cell, result);
    EXPECT_EQ(result.problems, row.problems);
  }
}

}  // namespace
}  // namespace preflight
