#include "window_check.h"

#include <algorithm>

#include "launcher_windows.h"

namespace preflight {

namespace {

struct Promise {
  Screen screen;
  const wchar_t* name;
  const wchar_t* described;          // as a finding names it
  const wchar_t* identifyingButton;  // nullptr: the restart warning, a message box
  std::vector<std::wstring> texts;   // every control text, exactly
  const wchar_t* focus;              // the control that has the focus as it opens
};

// The texts of a window's controls, as its lookups find them.
template <std::size_t N>
std::vector<std::wstring> TextsOf(const launcher_driver::Lookup (&rows)[N]) {
  std::vector<std::wstring> texts;
  for (const launcher_driver::Lookup& row : rows) {
    if (row.find == launcher_driver::Find::Text) texts.push_back(row.key);
  }
  return texts;
}

const std::vector<Promise>& Promises() {
  static const std::vector<Promise> promises = {
      {Screen::Menu, L"menu", L"the menu", L"Kavrio Business",
       TextsOf(launcher_driver::kMenuLookup), L"Kavrio"},
      {Screen::Business, L"business", L"the business window", L"&Avançar",
       TextsOf(launcher_driver::kBusinessLookup), L"&Avançar"},
      {Screen::Prompt, L"prompt", L"the prompt", L"&Sim", TextsOf(launcher_driver::kPromptLookup),
       L"&Sim"},
      // The message box's button is named in the system's language: only its text is ours.
      {Screen::RestartWarning, L"restart-warning", L"the restart warning", nullptr,
       {launcher_driver::kRestartWarning}, nullptr},
  };
  return promises;
}

const Promise& PromiseOf(Screen screen) {
  for (const Promise& promise : Promises()) {
    if (promise.screen == screen) return promise;
  }
  return Promises().front();
}

// A frame: a control that holds others.
bool IsFrame(const launcher_driver::Control& control,
             const std::vector<launcher_driver::Control>& controls) {
  return std::any_of(controls.begin(), controls.end(),
                     [&](const launcher_driver::Control& c) { return c.parent == control.window; });
}

// A frame without a caption may reach past the window's edges, as the launcher's do: only
// its bottom edge, the etched line, must lie inside. Anything else lies inside whole.
bool LiesInside(const launcher_driver::Control& control, bool frame, SIZE client) {
  const RECT& r = control.rect;
  if (frame && control.text.empty()) return r.bottom >= 1 && r.bottom <= client.cy;
  return r.left >= 0 && r.top >= 0 && r.right <= client.cx && r.bottom <= client.cy;
}

std::wstring Describe(const launcher_driver::Control& control) {
  return control.text.empty() ? L"a " + control.className + L" control" : Quoted(control.text);
}

}  // namespace

const wchar_t* NameOf(Screen screen) { return PromiseOf(screen).name; }

const wchar_t* Described(Screen screen) { return PromiseOf(screen).described; }

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

bool FormScreen(HWND window, Screen& screen) {
  if (launcher_driver::ClassOf(window) != L"KavrioForm") return false;
  const std::vector<launcher_driver::Control> controls = launcher_driver::Controls(window);
  for (const Promise& promise : Promises()) {
    // A button: the business window's heading reads "Kavrio Business" too.
    const bool holds =
        std::any_of(controls.begin(), controls.end(), [&](const launcher_driver::Control& c) {
          return promise.identifyingButton && c.className == L"Button" &&
                 c.text == promise.identifyingButton;
        });
    if (holds) {
      screen = promise.screen;
      return true;
    }
  }
  return false;
}

SeenWindow Look(HWND window, Screen screen) {
  const Promise& promise = PromiseOf(screen);
  SeenWindow seen;
  seen.screen = screen;
  seen.title = launcher_driver::TextOf(window);
  if (!GetWindowRect(window, &seen.rect)) {
    seen.problems.push_back(std::wstring(promise.name) + L": where it lies is not known: " +
                            launcher_driver::CallFailed(L"GetWindowRect"));
  }
  seen.screenSize = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const SIZE client = launcher_driver::ClientSize(window);
  const HWND focus = launcher_driver::FocusOf(window);
  const std::vector<launcher_driver::Control> controls = launcher_driver::Controls(window);
  for (const launcher_driver::Control& control : controls) {
    SeenControl row{control, LiesInside(control, IsFrame(control, controls), client)};
    if (control.window == focus) seen.focus = control.text;
    seen.controls.push_back(row);
  }
  const std::wstring where = std::wstring(promise.name) + L": ";
  std::vector<std::wstring>& problems = seen.problems;
  const std::wstring unsaved = launcher_driver::SaveScreenshot(window, promise.name);
  if (unsaved.empty()) {
    seen.screenshot = std::wstring(promise.name) + L".bmp";
  } else {
    problems.push_back(where + L"its screenshot could not be saved: " + unsaved);
  }
  if (seen.title != L"Kavrio") problems.push_back(where + L"the title reads " + Quoted(seen.title));
  for (const std::wstring& text : promise.texts) {
    const bool shown = std::any_of(seen.controls.begin(), seen.controls.end(),
                                   [&](const SeenControl& c) { return c.control.text == text; });
    if (!shown) problems.push_back(where + L"no control reads " + Quoted(text));
  }
  for (const SeenControl& row : seen.controls) {
    const bool button = row.control.className == L"Button";
    const bool ours = std::find(promise.texts.begin(), promise.texts.end(), row.control.text) !=
                      promise.texts.end();
    // In a message box only the button is the system's.
    if (!row.control.text.empty() && !ours && !(promise.focus == nullptr && button)) {
      problems.push_back(where + L"a control reads " + Quoted(row.control.text) +
                         L", which the launcher never shows");
    }
    if (!row.inside) problems.push_back(where + Describe(row.control) + L" lies outside the window");
  }
  if (seen.rect.left < 0 || seen.rect.top < 0 || seen.rect.right > seen.screenSize.cx ||
      seen.rect.bottom > seen.screenSize.cy) {
    problems.push_back(where + L"the window reaches past the screen's edge");
  }
  if (promise.focus && seen.focus != promise.focus) {
    problems.push_back(where + L"the focus is on " + Quoted(seen.focus) + L", not on " +
                       Quoted(promise.focus));
  }
  if (!promise.focus && !(focus && launcher_driver::ClassOf(focus) == L"Button")) {
    problems.push_back(where + L"its button does not have the focus");
  }
  return seen;
}

}  // namespace preflight
