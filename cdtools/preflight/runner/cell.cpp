#include "cell.h"

#include <cstdlib>
#include <cwchar>
#include <initializer_list>

#include "call_failure.h"
#include "driver.h"

namespace preflight {

namespace {

// What a program is told in each of Wine's modes: Microsoft's version numbers (OSVERSIONINFOEX;
// 98 and ME on the 9x line, 4.10 and 4.90), as Wine 8 reports them to a 32-bit program here.
// Wine 8 has no win11 mode: there a program is told Wine's default, and the run says so.
constexpr WindowsMode kWindowsModes[] = {
    {L"win98", 4, 10, VER_PLATFORM_WIN32_WINDOWS}, {L"winme", 4, 90, VER_PLATFORM_WIN32_WINDOWS},
    {L"win2k", 5, 0, VER_PLATFORM_WIN32_NT},       {L"winxp", 5, 1, VER_PLATFORM_WIN32_NT},
    {L"winxp64", 5, 2, VER_PLATFORM_WIN32_NT},     {L"vista", 6, 0, VER_PLATFORM_WIN32_NT},
    {L"win7", 6, 1, VER_PLATFORM_WIN32_NT},        {L"win8", 6, 2, VER_PLATFORM_WIN32_NT},
    {L"win81", 6, 3, VER_PLATFORM_WIN32_NT},       {L"win10", 10, 0, VER_PLATFORM_WIN32_NT},
    {L"win11", 10, 0, VER_PLATFORM_WIN32_NT},
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

std::wstring UseHighContrastColours() {
  std::vector<int> elements;
  std::vector<COLORREF> colours;
  for (const auto& [element, colour] : HighContrastScheme()) {
    elements.push_back(element);
    colours.push_back(colour);
  }
  if (!SetSysColors(static_cast<int>(elements.size()), elements.data(), colours.data())) {
    return launcher_driver::CallFailed(L"SetSysColors");
  }
  return L"";
}

void Note(std::vector<std::wstring>& failures, const std::wstring& step,
          const std::wstring& failure) {
  if (!failure.empty()) failures.push_back(step + L": " + failure);
}

}  // namespace

const WindowsMode* WindowsModeNamed(const std::wstring& mode) {
  for (const WindowsMode& known : kWindowsModes) {
    if (mode == known.mode) return &known;
  }
  return nullptr;
}

std::vector<std::pair<int, COLORREF>> HighContrastScheme() {
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
  std::vector<std::pair<int, COLORREF>> colours;
  for (const SchemeColour& part : scheme) {
    for (int element : part.elements) colours.emplace_back(element, part.colour);
  }
  return colours;
}

bool ParseCell(int argc, wchar_t** argv, Cell& cell, std::wstring& error) {
  bool haveBrowser = false;
  for (int i = 1; i < argc; i += 2) {
    const std::wstring name = argv[i];
    if (i + 1 >= argc) {
      error = name + L" needs a value";
      return false;
    }
    const std::wstring value = argv[i + 1];
    if (name == L"--windows") {
      cell.windows = WindowsModeNamed(value);
      if (!cell.windows) error = L"unknown Windows mode " + value;
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
      cell.road = RoadNamed(value);
      if (!cell.road) error = L"unknown road " + value;
    } else {
      error = L"unknown argument " + name;
    }
    if (!error.empty()) return false;
  }
  if (!cell.road || !cell.windows || !haveBrowser || cell.dpi < 48 || cell.dpi > 480) {
    error = L"give --windows, --dpi (48 to 480), --browser and --road";
    return false;
  }
  return true;
}

std::vector<std::wstring> ApplyCell(const Cell& cell) {
  std::vector<std::wstring> failures;
  Note(
      failures, L"browser",
      launcher_driver::SetBrowserVersion(
          cell.browserKey
              ? launcher_driver::BrowserVersion{launcher_driver::VersionKind::Text, cell.browser, 0}
              : launcher_driver::BrowserVersion{launcher_driver::VersionKind::NoKey, L"", 0}));
  Note(failures, L"dpi", launcher_driver::SetLogPixels(cell.dpi));
  for (const std::wstring& program :
       {std::wstring(L"kavrio.exe"), FileNameOf(launcher_driver::kHomeSetup),
        FileNameOf(launcher_driver::kAgentSetup), FileNameOf(launcher_driver::kBrowserSetup)}) {
    Note(failures, L"windows (" + program + L")",
         launcher_driver::ReportWindowsTo(program.c_str(), cell.windows->mode));
  }
  if (cell.highContrast) Note(failures, L"colours", UseHighContrastColours());
  return failures;
}

}  // namespace preflight
