#include "cell.h"

#include <cwchar>
#include <cstdlib>

#include "driver.h"

namespace preflight {

namespace {

struct RoadName {
  const wchar_t* name;
  Road road;
};
constexpr RoadName kRoads[] = {
    {L"menu-home", Road::MenuHome},         {L"menu-business-next", Road::MenuBusinessNext},
    {L"menu-business-exit", Road::MenuBusinessExit}, {L"prompt-yes", Road::PromptYes},
    {L"prompt-no", Road::PromptNo},         {L"menu-close", Road::MenuClose},
};

// Wine's Windows mode is set for a program by its file name: the launcher's, and each
// installer's.
std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

// A high-contrast scheme: white and yellow on black, with the window parts each Windows
// draws in its own colour told apart.
struct SchemeColour {
  int element;
  COLORREF colour;
};
constexpr SchemeColour kHighContrast[] = {
    {COLOR_SCROLLBAR, RGB(0, 0, 0)},          {COLOR_BACKGROUND, RGB(0, 0, 0)},
    {COLOR_ACTIVECAPTION, RGB(128, 0, 128)},  {COLOR_INACTIVECAPTION, RGB(0, 128, 0)},
    {COLOR_MENU, RGB(0, 0, 0)},               {COLOR_WINDOW, RGB(0, 0, 0)},
    {COLOR_WINDOWFRAME, RGB(255, 255, 255)},  {COLOR_MENUTEXT, RGB(255, 255, 255)},
    {COLOR_WINDOWTEXT, RGB(255, 255, 255)},   {COLOR_CAPTIONTEXT, RGB(255, 255, 255)},
    {COLOR_ACTIVEBORDER, RGB(255, 255, 0)},   {COLOR_INACTIVEBORDER, RGB(0, 128, 0)},
    {COLOR_APPWORKSPACE, RGB(0, 0, 0)},       {COLOR_HIGHLIGHT, RGB(128, 0, 128)},
    {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)}, {COLOR_BTNFACE, RGB(0, 0, 0)},
    {COLOR_BTNSHADOW, RGB(128, 128, 128)},    {COLOR_GRAYTEXT, RGB(0, 255, 0)},
    {COLOR_BTNTEXT, RGB(255, 255, 0)},        {COLOR_INACTIVECAPTIONTEXT, RGB(255, 255, 255)},
    {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)}, {COLOR_3DDKSHADOW, RGB(255, 255, 255)},
    {COLOR_3DLIGHT, RGB(192, 192, 192)},      {COLOR_INFOTEXT, RGB(255, 255, 255)},
    {COLOR_INFOBK, RGB(0, 0, 0)},
};

void UseHighContrastColours() {
  int elements[std::size(kHighContrast)];
  COLORREF colours[std::size(kHighContrast)];
  for (std::size_t i = 0; i < std::size(kHighContrast); ++i) {
    elements[i] = kHighContrast[i].element;
    colours[i] = kHighContrast[i].colour;
  }
  SetSysColors(static_cast<int>(std::size(kHighContrast)), elements, colours);
}

}  // namespace

bool ParseCell(int argc, wchar_t** argv, Cell& cell, std::wstring& error) {
  bool haveRoad = false, haveWindows = false, haveBrowser = false;
  for (int i = 1; i < argc; i += 2) {
    const std::wstring name = argv[i];
    if (i + 1 >= argc) {
      error = name + L" needs a value";
      return false;
    }
    const std::wstring value = argv[i + 1];
    if (name == L"--windows") {
      cell.windows = value;
      haveWindows = !value.empty();
    } else if (name == L"--dpi") {
      cell.dpi = std::wcstoul(value.c_str(), nullptr, 10);
    } else if (name == L"--browser") {
      cell.browserKey = value != L"none";
      cell.browser = cell.browserKey ? value : L"";
      haveBrowser = true;
    } else if (name == L"--colours") {
      cell.highContrast = value == L"high-contrast";
      if (!cell.highContrast && value != L"system") error = L"--colours " + value;
    } else if (name == L"--road") {
      for (const RoadName& road : kRoads) {
        if (value == road.name) {
          cell.road = road.road;
          haveRoad = true;
        }
      }
      if (!haveRoad) error = L"unknown road " + value;
    } else if (name == L"--installer-wait-ms") {
      cell.installerWaitMs = std::wcstoul(value.c_str(), nullptr, 10);
    } else {
      error = L"unknown argument " + name;
    }
    if (!error.empty()) return false;
  }
  if (!haveRoad || !haveWindows || !haveBrowser || cell.dpi < 48 || cell.dpi > 480) {
    error = L"give --windows, --dpi (48 to 480), --browser and --road";
    return false;
  }
  return true;
}

void ApplyCell(const Cell& cell) {
  e2e::SetBrowserVersion(cell.browserKey
                             ? e2e::BrowserVersion{e2e::VersionKind::Text, cell.browser, 0}
                             : e2e::BrowserVersion{e2e::VersionKind::NoKey, L"", 0});
  e2e::SetLogPixels(cell.dpi);
  for (const std::wstring& program :
       {std::wstring(L"kavrio.exe"), FileNameOf(e2e::kHomeSetup), FileNameOf(e2e::kAgentSetup),
        FileNameOf(e2e::kBrowserSetup)}) {
    e2e::ReportWindowsTo(program.c_str(), cell.windows.c_str());
  }
  if (cell.highContrast) UseHighContrastColours();
}

bool StartsAtTheMenu(Road road) { return road != Road::PromptYes && road != Road::PromptNo; }

std::wstring InstallerOf(Road road) {
  switch (road) {
    case Road::MenuHome:
      return e2e::kHomeSetup;
    case Road::MenuBusinessNext:
      return e2e::kAgentSetup;
    case Road::PromptYes:
      return e2e::kBrowserSetup;
    default:
      return L"";
  }
}

}  // namespace preflight
