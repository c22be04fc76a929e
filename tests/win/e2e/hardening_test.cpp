// The launcher in unfriendly surroundings: DLLs planted on the CD, a second launch while one
// is open, and the branches that it takes on Windows 95, 98 and ME.
#include "road.h"

namespace e2e {
namespace {

// ---- DLLs planted beside the launcher --------------------------------------------------------

class PlantedDlls : public Road, public ::testing::WithParamInterface<Way> {
 protected:
  void SetUp() override {
    Road::SetUp();
    ASSERT_TRUE(Done(PlantMarkerDlls(L"D:")));
    ASSERT_TRUE(Done(ClearPlantedLoads()));
    for (const wchar_t* program : kPrograms) {
      ASSERT_TRUE(Done(PreferPlantedDllsIn(program, true)));
    }
  }
  void TearDown() override {
    for (const wchar_t* program : kPrograms) {
      EXPECT_TRUE(Done(PreferPlantedDllsIn(program, false)));
    }
    Road::TearDown();
  }
  std::vector<PlantedLoad> LoadsInto(const std::wstring& program) {
    std::vector<PlantedLoad> loads;
    for (const PlantedLoad& load : PlantedLoads()) {
      if (load.program == program) loads.push_back(load);
    }
    return loads;
  }
  static constexpr const wchar_t* kPrograms[] = {L"kavrio.exe", L"dll_probe.exe"};
};

// The trap is real: a program that loads these names the default way gets the planted ones.
TEST_F(PlantedDlls, AProgramSearchingItsOwnFolderLoadsThem) {
  ASSERT_TRUE(Done(PlantDllProbe(L"D:\\dll_probe.exe")));
  ASSERT_TRUE(Done(StartLauncher(launcher, L"D:\\dll_probe.exe")));
  ASSERT_TRUE(launcher.WaitForExit());
  EXPECT_EQ(LoadsInto(L"D:\\dll_probe.exe").size(), std::size(kPlantedDllNames));
}

TEST_P(PlantedDlls, NoneIsLoadedIntoTheLauncherOnTheRoad) {
  RunToInstaller(GetParam());
  for (const PlantedLoad& load : LoadsInto(L"D:\\kavrio.exe")) {
    ADD_FAILURE() << "the launcher loaded " << std::string(load.dll.begin(), load.dll.end());
  }
}

INSTANTIATE_TEST_SUITE_P(EveryRoad, PlantedDlls,
                         ::testing::Values(Way::Home, Way::Business, Way::BrowserSetup),
                         NameOfWay);

// ---- One launcher at a time -------------------------------------------------------------------

TEST_F(Road, ASecondLaunchBringsTheFirstBackToTheFrontAndEnds) {
  HWND menu = StartMenu();
  ASSERT_NE(menu, nullptr);
  ShowWindow(menu, SW_MINIMIZE);
  Sleep(300);
  ASSERT_TRUE(IsIconic(menu));

  Launcher second;
  ASSERT_TRUE(Done(StartLauncher(second)));
  ASSERT_TRUE(second.WaitForExit());
  EXPECT_EQ(second.ExitCode(), 0u);
  for (int i = 0; i < 50 && (IsIconic(menu) || GetForegroundWindow() != menu); ++i) Sleep(100);
  EXPECT_FALSE(IsIconic(menu)) << "restored";
  EXPECT_EQ(GetForegroundWindow(), menu);

  // The first one goes on as before; the second started nothing.
  PressAltKey('S');
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();

  // With the first one gone, a new launch opens its menu.
  Launcher third;
  ASSERT_TRUE(Done(StartLauncher(third)));
  HWND again = WaitForForm(third.process.id, L"Kavrio Business");
  ASSERT_NE(again, nullptr);
  CloseBox(again);
  EXPECT_TRUE(third.WaitForExit());
}

// ---- Windows 95, 98 and ME --------------------------------------------------------------------

// Wine reports Windows 98 to the launcher: it takes its ANSI branches (texts, paths, fonts).
class AsWindows98 : public Road, public ::testing::WithParamInterface<Way> {
 protected:
  void SetUp() override {
    Road::SetUp();
    ASSERT_TRUE(Done(ReportWindows98To(L"kavrio.exe", true)));
  }
  void TearDown() override {
    EXPECT_TRUE(Done(ReportWindows98To(L"kavrio.exe", false)));
    Road::TearDown();
  }
};

TEST_P(AsWindows98, EachRoadReadsItsTextsAndStartsItsInstaller) { RunToInstaller(GetParam()); }

INSTANTIATE_TEST_SUITE_P(EveryRoad, AsWindows98,
                         ::testing::Values(Way::Home, Way::Business, Way::BrowserSetup),
                         NameOfWay);

}  // namespace
}  // namespace e2e
