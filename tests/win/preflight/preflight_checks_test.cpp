// The preflight's judgement: a live window read against the launcher's promise for it, and
// the verdict on what a run started. A release passes or fails on these.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "launcher_windows.h"
#include "run_result.h"
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
      {L"Static", e2e::kLabel2Menu, {40, 16, 263, 48}, 0},
      {L"Button", L"&Sair", {344, 304, 425, 337}, -1},
      {L"Static", L"", {-8, -16, 545, 297}, -1},  // the frame whose bottom is the etched line
      {L"Button", L"Kavrio", {152, 136, 441, 169}, 3},
      {L"Button", L"Kavrio Business", {152, 184, 441, 217}, 3},
  };
  int focus = 4;
  int x = -1;  // -1: centred
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
  e2e::BringToFront(window);
  SetFocus(made[spec.focus]);
  return window;
}

TEST(WindowCheck, NamesWhatDiffersFromTheLaunchersWindow) {
  const std::wstring screenEdge = std::to_wstring(GetSystemMetrics(SM_CXSCREEN) - 200);
  struct Row {
    const char* name;
    std::function<void(MenuSpec&)> change;
    std::vector<std::wstring> problems;
  };
  const Row rows[] = {
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
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MenuSpec spec;
    row.change(spec);
    HWND window = Build(spec);
    EXPECT_EQ(Look(window, Screen::Menu).problems, row.problems);
    DestroyWindow(window);
  }
}

// ---- The verdict on what a run started ---------------------------------------------------

RunResult Started(const std::wstring& program, const std::wstring& commandLine,
                  const std::wstring& folder) {
  RunResult result;
  result.driven = true;
  result.launcherEnded = true;
  result.launcherExitCode = 0;
  result.started = true;
  result.installer.program = program;
  result.installer.commandLine = commandLine;
  result.installer.workingFolder = folder;
  result.installer.read = true;
  result.installerScreenshot = L"installer.bmp";
  return result;
}

RunResult Home() { return Started(e2e::kHomeSetup, L"\"D:\\Setup.exe\"", L"C:\\"); }

RunResult NothingStarted() {
  RunResult result;
  result.driven = true;
  result.launcherEnded = true;
  result.launcherExitCode = 0;
  return result;
}

TEST(Verdict, NamesWhatDiffersFromWhatTheRoadPromises) {
  struct Row {
    const char* name;
    Road road;
    std::function<RunResult()> result;
    std::vector<std::wstring> problems;
  };
  const Row rows[] = {
      {"the home setup, as promised", Road::MenuHome, Home, {}},
      {"nothing on a road that starts nothing", Road::MenuClose, NothingStarted, {}},
      {"nothing where the agent was due", Road::MenuBusinessNext, NothingStarted,
       {L"nothing started: D:\\Agente Plimox\\Instalador Assistente Kavrio.exe was expected"}},
      {"something on a road that starts nothing", Road::PromptNo, Home,
       {L"started D:\\Setup.exe on a road that starts nothing"}},
      {"another installer", Road::PromptYes, Home,
       {L"started D:\\Setup.exe, not D:\\Internet Explorer 5.5\\ie5setup.exe",
        L"its command line is \"D:\\Setup.exe\", not \"D:\\Internet Explorer 5.5\\ie5setup.exe\""}},
      {"an unquoted command line", Road::MenuHome,
       [] { return Started(e2e::kHomeSetup, L"D:\\Setup.exe", L"C:\\"); },
       {L"its command line is D:\\Setup.exe, not \"D:\\Setup.exe\""}},
      {"the CD as working folder", Road::MenuHome,
       [] { return Started(e2e::kHomeSetup, L"\"D:\\Setup.exe\"", L"D:\\"); },
       {L"its working folder is \"D:\\\", not \"C:\\\""}},
      {"an installer that ends at once", Road::MenuHome,
       [] {
         RunResult r = Home();
         r.installerScreenshot.clear();
         r.installer.ended = true;
         r.installer.exitCode = 7;
         return r;
       },
       {L"the installer ended (exit code 7) without showing a window"}},
      {"an installer that shows nothing", Road::MenuHome,
       [] {
         RunResult r = Home();
         r.installerScreenshot.clear();
         return r;
       },
       {L"the installer showed no window within 10 s"}},
      {"a start that could not be read", Road::MenuHome,
       [] {
         RunResult r = Home();
         r.installer.read = false;
         r.installer.unread = L"it ended before its parameters could be read";
         return r;
       },
       {L"what started could not be read from it: it ended before its parameters could be read"}},
      {"a launcher that stays, and another window", Road::MenuClose,
       [] {
         RunResult r = NothingStarted();
         r.launcherEnded = false;
         r.otherDialogs = {L"\"Kavrio\": Erro 11002: GetValue"};
         return r;
       },
       {L"the launcher did not end", L"another window opened: \"Kavrio\": Erro 11002: GetValue"}},
      {"a launcher that crashed", Road::MenuClose,
       [] {
         RunResult r = NothingStarted();
         r.launcherExitCode = 0xC0000005;
         return r;
       },
       {L"the launcher crashed (exception 0xC0000005)"}},
      {"a road that could not be driven", Road::MenuBusinessNext,
       [] {
         RunResult r = NothingStarted();
         r.driven = false;
         return r;
       },
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Cell cell;
    cell.road = row.road;
    RunResult result = row.result();
    Judge(cell, result);
    EXPECT_EQ(result.problems, row.problems);
  }
}

}  // namespace
}  // namespace preflight
