// One cell of the preflight's matrix: the Windows that Wine reports, the DPI, the browser
// version in the registry, the system colours and the road through the launcher's windows.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "roads.h"

namespace preflight {

// A Windows mode of Wine, and the version that a program is told in it.
struct WindowsMode {
  const wchar_t* mode;  // win98, winxp, win10, ...
  DWORD major;
  DWORD minor;
  DWORD platform;  // VER_PLATFORM_WIN32_WINDOWS (95, 98, ME) or VER_PLATFORM_WIN32_NT
};

struct Cell {
  const WindowsMode* windows = nullptr;
  DWORD dpi = 96;
  bool browserKey = false;  // false: no Internet Explorer key at all
  std::wstring browser;     // the Version text, with the key
  bool highContrast = false;
  const RoadDefinition* road = nullptr;
};

// Reads `--windows MODE --dpi N --browser TEXT|none --colours system|high-contrast
// --road NAME`; false, with `error` set, when an argument is off.
bool ParseCell(int argc, wchar_t** argv, Cell& cell, std::wstring& error);

const WindowsMode* WindowsModeNamed(const std::wstring& mode);

// Each system colour of the high-contrast scheme (element, colour).
std::vector<std::pair<int, COLORREF>> HighContrastScheme();

// Sets up the prefix for the cell: the registry's browser version, the DPI, the Windows
// mode of the launcher and of the three installers, the colours. Each step that failed, as
// "<step>: <the call that failed>"; none when every step was done.
std::vector<std::wstring> ApplyCell(const Cell& cell);

}  // namespace preflight
