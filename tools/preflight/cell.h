// One cell of the preflight's matrix: the Windows that Wine reports, the DPI, the browser
// version in the registry, the system colours and the road through the launcher's windows.
#pragma once

#include <windows.h>

#include <string>

namespace preflight {

enum class Road { MenuHome, MenuBusinessNext, MenuBusinessExit, PromptYes, PromptNo, MenuClose };

struct Cell {
  std::wstring windows;  // a Wine mode: win98, winxp, win10, ...
  DWORD dpi = 96;
  bool browserKey = false;  // false: no Internet Explorer key at all
  std::wstring browser;     // the Version text, with the key
  bool highContrast = false;
  Road road = Road::MenuHome;
};

// Reads `--windows MODE --dpi N --browser TEXT|none --colours system|high-contrast
// --road NAME`; false, with `error` set, when an argument is off.
bool ParseCell(int argc, wchar_t** argv, Cell& cell, std::wstring& error);

// Sets up the prefix for the cell: the registry's browser version, the DPI, the Windows
// mode of the launcher and of the three installers, the colours.
void ApplyCell(const Cell& cell);

bool StartsAtTheMenu(Road road);
// The CD's installer that the road ends in ("" for the roads that start nothing).
std::wstring InstallerOf(Road road);

}  // namespace preflight
