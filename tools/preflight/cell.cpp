#include "cell.h"

#include <cstdlib>
#include <cwchar>
#include <initializer_list>
#include <vector>

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

// A high-contrast scheme, white and yellow on black: each colour, and the parts of the
// windows that each Windows draws in it.
struct SchemeColour {
  COLORREF colour;
  std::initializer_list<int> elements;
};

void UseHighContrastColours() {
  const SchemeColour scheme[] = {
      {RGB(0, 0, 0),
       {COLOR_SCROLLBAR, COLOR_BACKGROUND, COLOR_MENU, COLOR_WINDOW, COLOR_APPWORKSPACE,
        COLOR_BTNFACE, COLOR_INFOBK}},
      {RGB(255, 255, 255),
       {COLOR_WINDOWFRAME, COLOR_MENUTEXT, COLOR_WINDOWTEXT, COLOR_CAPTIONTEXT,
        COLOR_HIGHLIGHTTEXT, COLOR_INACTIVECAPTIONTEXT, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW,
        COLOR_INFOTEXT}},
      {RGB(255, 255, 0), {COLOR_BTNTEXT, COLOR_ACTIVEBORDER}},
      {RGB(128, 0, 128), {COLOR_ACTIVECAPTION, COLOR_HIGHLIGHT}},
      {RGB(0, 128, 0), {COLOR_INACTIVECAPTION, COLOR_INACTIVEBORDER}},
      {RGB(0, 255, 0), {COLOR_GRAYTEXT}},
      {RGB(128, 128, 128), {COLOR_BTNSHADOW}},
      {RGB(192, 192, 192), {COLOR_3DLIGHT}},
  };
  std::vector<int> elements;
  std::vector<COLORREF> colours;
  for (const SchemeColour& part : scheme) {
    for (int element : part.elements) {
      elements.push_back(element);
      colours.push_back(part.colour);
    }
  }
  SetSysColors(static_cast<int>(elements.size()), elements.data(), colours.data());
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
