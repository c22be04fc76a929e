// The roads through the launcher's windows: each window that a road shows, what is done in
// it, and the installer that the road ends in. The table itself, road_table.h, is written
// from cdtools/preflight/roads.json when the runner is built, so the runner and the matrix
// read one definition.
#pragma once

#include <cstddef>
#include <string>

#include "launcher_windows.h"
#include "window_check.h"

namespace preflight {

enum class Action {
  Press,  // click the control
  Close,  // the close box
  Enter,  // the Enter key (a message box's default button)
};

struct RoadStep {
  Screen screen;
  Action action;
  const char* control;  // Press: the control's name in the layout oracle
};

struct RoadDefinition {
  template <std::size_t N>
  constexpr RoadDefinition(const wchar_t* roadName, const RoadStep (&roadSteps)[N],
                           const char16_t* installerSuffix)
      : name(roadName), steps(roadSteps), stepCount(N), installer(installerSuffix) {}

  constexpr const RoadStep* begin() const { return steps; }
  constexpr const RoadStep* end() const { return steps + stepCount; }

  const wchar_t* name;
  const RoadStep* steps;
  std::size_t stepCount;
  // The launcher's suffix of the installer that the road ends in; nullptr: it starts nothing,
  // and the launcher ends.
  const char16_t* installer;
};

// The road of that name, or nullptr.
const RoadDefinition* RoadNamed(const std::wstring& name);
// The installer that the road ends in, on drive D: ("" for a road that starts nothing).
std::wstring InstallerOf(const RoadDefinition& road);

// ---- Compile-time lookups --------------------------------------------------------------------

template <class Char>
constexpr bool SameText(const Char* a, const Char* b) {
  for (; *a && *a == *b; ++a, ++b) {
  }
  return *a == *b;
}

template <std::size_t N>
constexpr const wchar_t* ButtonTextIn(const launcher_driver::Lookup (&rows)[N],
                                      const char* control) {
  for (const launcher_driver::Lookup& row : rows) {
    if (row.find == launcher_driver::Find::Text && SameText(row.name, control)) return row.key;
  }
  return nullptr;
}

// The text of the control that a Press step clicks (nullptr: no such control in that window).
constexpr const wchar_t* ButtonText(Screen screen, const char* control) {
  if (!control) return nullptr;
  switch (screen) {
    case Screen::Menu:
      return ButtonTextIn(launcher_driver::kMenuLookup, control);
    case Screen::Business:
      return ButtonTextIn(launcher_driver::kBusinessLookup, control);
    case Screen::Prompt:
      return ButtonTextIn(launcher_driver::kPromptLookup, control);
    case Screen::RestartWarning:
      return nullptr;  // a message box: only its text is the launcher's
  }
  return nullptr;
}

}  // namespace preflight
