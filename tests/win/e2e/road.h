// What the end-to-end roads share: the checks of what started, and the fixture that lays out
// the CD, starts the launcher and finds its windows (the windows' texts and how each control
// is found: the driver's launcher_windows.h).
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver.h"
#include "launcher_windows.h"
#include "layout_check.h"
#include "layout_oracle.h"
#include "win/done.h"

namespace e2e {

// The roads are driven with the launcher's driver (tests/win/driver).
using namespace launcher_driver;

// Nothing was started, and nothing starts a little later either.
inline void ExpectNothingStarted() {
  Sleep(500);
  EXPECT_TRUE(Starts().empty());
}

inline void ExpectStarted(const std::wstring& program) {
  const std::vector<StartRecord> starts = WaitForStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].program, program);
  EXPECT_EQ(starts[0].commandLine, L"\"" + program + L"\"");
  EXPECT_EQ(starts[0].workingFolder, L"C:\\");
}

// The three roads that end in an installer, one through each window.
enum class Way { Home, Business, BrowserSetup };

inline void PrintTo(Way way, std::ostream* out) {
  *out << (way == Way::Home ? "Home" : way == Way::Business ? "Business" : "BrowserSetup");
}

inline std::string NameOfWay(const ::testing::TestParamInfo<Way>& info) {
  std::ostringstream name;
  PrintTo(info.param, &name);
  return name.str();
}

// A run of the launcher from the CD on drive D:, with a current browser unless a road says
// otherwise.
class Road : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Done(SetLogPixels(96)));
    if (layOutCd) {
      ASSERT_TRUE(Done(LayOutCd()));
    }
    ASSERT_TRUE(Done(ClearStarts()));
    ASSERT_TRUE(Done(SetBrowserVersion({VersionKind::Text, L"6.0.2800.1106", 0})));
  }
  void TearDown() override {
    for (RegistryView view : {RegistryView::Shipped32, RegistryView::Native64}) {
      EXPECT_TRUE(Done(SetBrowserVersion({VersionKind::Text, L"9.11.9600.18376", 0}, view)));
    }
    EXPECT_TRUE(NoCallFailed());
  }

  HWND StartMenu(const LaunchOptions& options = {}) {
    EXPECT_TRUE(Done(StartLauncher(launcher, options)));
    HWND menu = WaitForForm(launcher.process.id, L"Kavrio Business");
    if (menu) BringToFront(menu);
    return menu;
  }

  HWND StartPrompt(const BrowserVersion& version, const LaunchOptions& options = {}) {
    EXPECT_TRUE(Done(SetBrowserVersion(version)));
    EXPECT_TRUE(Done(StartLauncher(launcher, options)));
    HWND prompt = WaitForForm(launcher.process.id, L"&Sim");
    if (prompt) BringToFront(prompt);
    return prompt;
  }

  HWND OpenBusiness(const LaunchOptions& options = {}) {
    HWND menu = StartMenu(options);
    if (!menu) return nullptr;
    ClickCentre(ButtonOf(menu, L"Kavrio Business"));
    HWND business = WaitForForm(launcher.process.id, L"&Avançar");
    if (business) BringToFront(business);
    return business;
  }

  // Answers the restart warning with Enter; it must show the warning's own text.
  void AcceptRestartWarning() {
    HWND warning = WaitForWindow(launcher.process.id, L"Kavrio", L"#32770");
    ASSERT_NE(warning, nullptr);
    EXPECT_NE(FindByText(Controls(warning), kRestartWarning), nullptr) << "the warning's text";
    BringToFront(warning);
    PressKey(VK_RETURN);
  }

  // Runs a road to its installer with the keyboard, reading back every text of each window
  // on the way, and waits for the launcher to end.
  void RunToInstaller(Way way, const LaunchOptions& options = {}) {
    switch (way) {
      case Way::Home: {
        HWND menu = StartMenu(options);
        ASSERT_NE(menu, nullptr);
        ExpectLayout(menu, kavrio::layout_oracle::kMenu, kMenuLookup);
        PressKey(VK_RETURN);
        ExpectStarted(kHomeSetup);
        break;
      }
      case Way::Business: {
        HWND business = OpenBusiness(options);
        ASSERT_NE(business, nullptr);
        ExpectLayout(business, kavrio::layout_oracle::kBusiness, kBusinessLookup);
        PressAltKey('A');
        ExpectStarted(kAgentSetup);
        break;
      }
      case Way::BrowserSetup: {
        HWND prompt = StartPrompt({VersionKind::Text, L"4.0", 0}, options);
        ASSERT_NE(prompt, nullptr);
        ExpectLayout(prompt, kavrio::layout_oracle::kPrompt, kPromptLookup);
        PressAltKey('S');
        AcceptRestartWarning();
        ExpectStarted(kBrowserSetup);
        break;
      }
    }
    EXPECT_TRUE(launcher.WaitForExit());
  }

  bool layOutCd = true;  // false: drive D: is already the CD
  Launcher launcher;
};

}  // namespace e2e
