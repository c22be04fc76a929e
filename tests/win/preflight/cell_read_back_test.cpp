// The cell read back: what differs from a cell's label is named, and under Wine the read-back
// sees what the launcher will meet, not what was written.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cell_read_back.h"
#include "cell_set_up.h"
#include "change_row.h"
#include "driver.h"
#include "launcher_windows.h"
#include "win/done.h"

namespace preflight {
namespace {

using launcher_driver::RegistryView;
using launcher_driver::SetBrowserVersion;
using launcher_driver::VersionKind;

using Colours = std::vector<std::pair<int, COLORREF>>;

Cell CellOf(const wchar_t* windows, DWORD dpi, const wchar_t* browser) {
  Cell cell;
  cell.windows = WindowsModeNamed(windows);
  cell.dpi = dpi;
  cell.browserKey = browser != nullptr;
  cell.browser = browser ? browser : L"";
  cell.road = RoadNamed(L"menu-home");
  return cell;
}

// What a cell of win98, 144 dpi, IE 5.50.4807.2300 and these colours reads back as when set up.
CellReadBack AsSetUp(const Colours& colours) {
  CellReadBack seen;
  seen.windows = {true, 4, 10, VER_PLATFORM_WIN32_WINDOWS, L""};
  seen.driveType = DRIVE_CDROM;
  seen.fresh = {true, 144, colours, L""};
  seen.browser = {true, true, REG_SZ, L"5.50.4807.2300", L""};
  return seen;
}

TEST(CellDifferences, NameEachWayInWhichTheCellIsNotItsLabel) {
  const Colours promised = {{COLOR_BTNFACE, RGB(0, 0, 0)}, {COLOR_BTNTEXT, RGB(255, 255, 0)}};
  const ChangeRow<CellReadBack> rows[] = {
      {"as set up", [](CellReadBack&) {}, {}},
      {"the launcher told Wine's default",
       [](CellReadBack& s) { s.windows = {true, 6, 1, VER_PLATFORM_WIN32_NT, L""}; },
       {L"windows: the launcher's process is told 6.1, platform 2, not win98's 4.10, platform 1"}},
      {"the launcher's version unread",
       [](CellReadBack& s) { s.windows = {false, 0, 0, 0, L"the process had ended"}; },
       {L"windows: what the launcher's process is told could not be read: the process had "
        L"ended"}},
      {"D: a fixed drive", [](CellReadBack& s) { s.driveType = DRIVE_FIXED; },
       {L"drive D: is not a CD-ROM drive (GetDriveType answers 3)"}},
      {"a new window at 96 dpi", [](CellReadBack& s) { s.fresh.dpi = 96; },
       {L"dpi: a new window sees 96 dpi, not 144"}},
      {"a colour that stayed", [](CellReadBack& s) { s.fresh.colours[1].second = RGB(0, 0, 0); },
       {L"colours: a program started now sees 1 of 2 colours otherwise (system colour 18 is not "
        L"#FFFF00 but #000000)"}},
      {"a colour that the probe did not report",
       [](CellReadBack& s) { s.fresh.colours.pop_back(); },
       {L"colours: a program started now sees 1 of 2 colours otherwise (system colour 18 is not "
        L"#FFFF00)"}},
      {"no probe",
       [](CellReadBack& s) { s.fresh = {false, 0, {}, L"the probe ended with exit code 1"}; },
       {L"dpi and colours: what a program started now sees could not be read: the probe ended "
        L"with exit code 1"}},
      {"no key in the launcher's view",
       [](CellReadBack& s) { s.browser = {true, false, REG_NONE, L"", L""}; },
       {L"browser: the launcher's registry view holds no Internet Explorer key, not Version "
        L"\"5.50.4807.2300\""}},
      {"another version", [](CellReadBack& s) { s.browser.version = L"9.11.9600.18376"; },
       {L"browser: the launcher's registry view reads Version \"9.11.9600.18376\", not "
        L"\"5.50.4807.2300\""}},
      {"a number, not a text", [](CellReadBack& s) { s.browser.type = REG_DWORD; },
       {L"browser: the launcher's registry view holds a Version of type 4, not the text "
        L"\"5.50.4807.2300\""}},
      {"an unreadable key",
       [](CellReadBack& s) {
         s.browser = {false, false, REG_NONE, L"", L"RegOpenKeyExW failed with error 5"};
       },
       {L"browser: the launcher's registry view could not be read: RegOpenKeyExW failed with "
        L"error 5"}},
  };
  const Cell cell = CellOf(L"win98", 144, L"5.50.4807.2300");
  for (const ChangeRow<CellReadBack>& row : rows) {
    SCOPED_TRACE(row.name);
    CellReadBack seen = AsSetUp(promised);
    row.change(seen);
    EXPECT_EQ(CellDifferences(cell, seen, promised), row.problems);
  }
}

TEST(CellDifferences, AKeyWhereTheCellHasNone) {
  const Cell cell = CellOf(L"win98", 144, nullptr);
  EXPECT_EQ(CellDifferences(cell, AsSetUp({}), {}),
            std::vector<std::wstring>{
                L"browser: the launcher's registry view holds an Internet Explorer key, where the "
                L"cell has none"});
}

// ---- Under Wine: the cell set up and read back ---------------------------------------------

class CellUnderWine : public CellSetUp {
 protected:
  // The cell set up and read back as a run does it, the launcher started from drive D:.
  std::vector<std::wstring> SetUpAndReadBack(const Cell& cell,
                                             const std::function<void()>& meddle) {
    std::vector<std::wstring> problems = ApplyCell(cell);
    meddle();
    CellReadBack seen;
    seen.browser = ReadBrowser();
    seen.driveType = GetDriveTypeW(L"D:\\");
    seen.fresh = ProbeFreshProgram();
    launcher_driver::Launcher launcher;
    EXPECT_TRUE(Done(launcher_driver::StartLauncher(launcher)));
    HWND window = launcher_driver::WaitForForm(launcher.process.id, L"Kavrio");
    seen.windows = ReadToldWindows(launcher.process.handle.Get());
    if (window) launcher_driver::CloseBox(window);
    launcher.WaitForExit();
    for (const std::wstring& difference : CellDifferences(cell, seen, PromisedColours(cell))) {
      problems.push_back(difference);
    }
    return problems;
  }
};

// Drive D: of the Windows tier is a plain folder; the preflight's is a CD-ROM drive.
const wchar_t kPlainD[] = L"drive D: is not a CD-ROM drive (GetDriveType answers 3)";

TEST_F(CellUnderWine, ReadsBackWhatTheLauncherMeets) {
  ASSERT_TRUE(Done(launcher_driver::LayOutCd()));
  struct Row {
    const char* name;
    Cell cell;
    std::function<void()> meddle;
    std::vector<std::wstring> problems;
  };
  const Row rows[] = {
      {"as set up", CellOf(L"win98", 144, L"6.0.2800.1106"), [] {}, {kPlainD}},
      {"a Windows mode that this Wine lacks", CellOf(L"win11", 96, L"6.0.2800.1106"), [] {},
       {L"windows: the launcher's process is told 6.1, platform 2, not win11's 10.0, platform 2",
        kPlainD}},
      {"the browser in the 64-bit view alone", CellOf(L"winxp", 96, L"6.0.2800.1106"),
       [] {
         ASSERT_TRUE(Done(SetBrowserVersion({VersionKind::NoKey, L"", 0})));
         ASSERT_TRUE(Done(SetBrowserVersion({VersionKind::Text, L"6.0.2800.1106", 0},
                                            RegistryView::Native64)));
       },
       {kPlainD,
        L"browser: the launcher's registry view holds no Internet Explorer key, not Version "
        L"\"6.0.2800.1106\""}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(SetUpAndReadBack(row.cell, row.meddle), row.problems);
  }
}

}  // namespace
}  // namespace preflight
