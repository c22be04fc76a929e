// One window of the launcher as the subscriber sees it: a screenshot, every text read back,
// where each control lies, which control has the focus; and what differs from the launcher's
// promise for that window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "driver.h"

namespace preflight {

enum class Screen { Menu, Business, Prompt, RestartWarning };

const wchar_t* NameOf(Screen screen);
// "the menu", "the business window", ...
const wchar_t* Described(Screen screen);
// A text as the findings quote it.
std::wstring Quoted(const std::wstring& text);
// Which of the launcher's forms this window is, by the buttons that it holds; false for
// any other window.
bool FormScreen(HWND window, Screen& screen);

struct SeenControl {
  launcher_driver::Control control;
  bool inside = true;
};

struct SeenWindow {
  Screen screen;
  std::wstring title;
  RECT rect = {};          // on the screen
  SIZE screenSize = {};
  std::vector<SeenControl> controls;
  std::wstring focus;      // the focused control's text
  std::wstring screenshot;  // file name in the run's folder
  std::vector<std::wstring> problems;
};

// Reads the window, saves its screenshot as <name>.bmp and checks it against `screen`.
SeenWindow Look(HWND window, Screen screen);

}  // namespace preflight
