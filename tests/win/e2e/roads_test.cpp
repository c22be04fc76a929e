// The launcher's roads, driven through its real windows.
#include <gtest/gtest.h>

#include "error_report.h"
#include "road.h"

namespace e2e {
namespace {

// ---- Menu road -----------------------------------------------------------------------------

TEST_F(Road, MenuLooksAsDesignedAndTabCyclesItsButtons) {
  HWND menu = StartMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(Done(SaveScreenshot(menu, L"menu")));
  ExpectCommonLook(menu, 450, 344);
  ExpectLayout(menu, kavrio::layout_oracle::kMenu, kMenuLookup);
  ExpectOnlyButtonsTakeFocus(menu);

  HWND home = ButtonOf(menu, L"Kavrio"), business = ButtonOf(menu, L"Kavrio Business"),
       exit = ButtonOf(menu, L"&Sair");
  EXPECT_EQ(FocusOf(menu), home);
  const HWND cycle[] = {business, exit, home, business};
  for (HWND next : cycle) {
    PressKey(VK_TAB);
    EXPECT_EQ(FocusOf(menu), next);
  }
  // Esc does nothing; the close box ends the program with nothing started.
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(IsWindowVisible(menu));
  CloseBox(menu);
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();
}

TEST_F(Road, EnterAtOnceStartsTheHomeSetupAndEnds) {
  HWND menu = StartMenu();
  ASSERT_NE(menu, nullptr);
  PressKey(VK_RETURN);
  ExpectStarted(kHomeSetup);
  EXPECT_TRUE(launcher.WaitForExit());
}

TEST_F(Road, SairEndsWithNothingStarted) {
  HWND menu = StartMenu();
  ASSERT_NE(menu, nullptr);
  PressAltKey('S');
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();
}

TEST_F(Road, MissingHomeSetupEndsWithoutAMessage) {
  DeleteFileW(kHomeSetup.c_str());
  HWND menu = StartMenu();
  ASSERT_NE(menu, nullptr);
  ClickCentre(ButtonOf(menu, L"Kavrio"));
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();
}

TEST_F(Road, LaunchFolderWithSpacesStartsItsOwnSetup) {
  ASSERT_TRUE(Done(CopyLauncherTo(L"D:\\CD Kavrio\\kavrio.exe")));
  ASSERT_TRUE(Done(PlantStub(L"D:\\CD Kavrio\\Setup.exe")));
  ASSERT_TRUE(Done(StartLauncher(launcher, L"D:\\CD Kavrio\\kavrio.exe")));
  HWND menu = WaitForForm(launcher.process.id, L"Kavrio Business");
  ASSERT_NE(menu, nullptr);
  BringToFront(menu);
  PressKey(VK_RETURN);
  ExpectStarted(L"D:\\CD Kavrio\\Setup.exe");
  EXPECT_TRUE(launcher.WaitForExit());
}

// ---- Business road -------------------------------------------------------------------------

TEST_F(Road, BusinessReplacesTheMenuAndStartsTheAgentNotTheDecoy) {
  ASSERT_TRUE(Done(PlantStub(L"D:\\Agente.exe")));
  HWND business = OpenBusiness();
  ASSERT_NE(business, nullptr);
  EXPECT_FALSE(ShowsForm(launcher.process.id, L"Kavrio"));
  ASSERT_TRUE(Done(SaveScreenshot(business, L"business")));
  ExpectCommonLook(business, 450, 344);
  ExpectLayout(business, kavrio::layout_oracle::kBusiness, kBusinessLookup);
  ExpectOnlyButtonsTakeFocus(business);

  HWND next = ButtonOf(business, L"&Avançar"), exit = ButtonOf(business, L"&Sair");
  EXPECT_EQ(FocusOf(business), next);
  PressKey(VK_TAB);
  EXPECT_EQ(FocusOf(business), exit);
  PressKey(VK_TAB);
  EXPECT_EQ(FocusOf(business), next);
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(IsWindowVisible(business));

  PressAltKey('A');
  ExpectStarted(kAgentSetup);
  EXPECT_TRUE(launcher.WaitForExit());
}

TEST_F(Road, BusinessSairAndCloseBoxStartNothing) {
  HWND business = OpenBusiness();
  ASSERT_NE(business, nullptr);
  PressAltKey('S');
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();
}

TEST_F(Road, BusinessCloseBoxEndsTheProgram) {
  HWND business = OpenBusiness();
  ASSERT_NE(business, nullptr);
  CloseBox(business);
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();
}

// ---- Prompt road ---------------------------------------------------------------------------

struct PromptCase {
  const char* name;
  BrowserVersion version;
};

void PrintTo(const PromptCase& c, std::ostream* os) { *os << c.name; }

class PromptRoad : public Road, public ::testing::WithParamInterface<PromptCase> {};

TEST_P(PromptRoad, ShowsThePromptNeverTheMenuAndNaoEnds) {
  HWND prompt = StartPrompt(GetParam().version);
  ASSERT_NE(prompt, nullptr);
  EXPECT_FALSE(ShowsForm(launcher.process.id, L"Kavrio Business"));
  ExpectCommonLook(prompt, 450, 342);
  EXPECT_EQ(FocusOf(prompt), ButtonOf(prompt, L"&Sim"));
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(IsWindowVisible(prompt));
  PressAltKey('N');
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();
}

// A current browser written only where a 64-bit program would look: the shipped 32-bit exe
// reads WOW6432Node, finds no browser there, and prompts.
TEST_F(Road, AVersionInThe64BitViewAloneIsNotWhatTheShippedExeReads) {
  ASSERT_TRUE(
      Done(SetBrowserVersion({VersionKind::Text, L"6.0.2800.1106", 0}, RegistryView::Native64)));
  HWND prompt = StartPrompt({VersionKind::NoKey, L"", 0});
  ASSERT_NE(prompt, nullptr);
  EXPECT_FALSE(ShowsForm(launcher.process.id, L"Kavrio Business"));
  PressAltKey('N');
  EXPECT_TRUE(launcher.WaitForExit());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, PromptRoad,
    ::testing::Values(PromptCase{"NoKey", {VersionKind::NoKey, L"", 0}},
                      PromptCase{"NoValue", {VersionKind::NoValue, L"", 0}},
                      PromptCase{"Version5_00", {VersionKind::Text, L"5.00.2920.0000", 0}},
                      PromptCase{"Dword4", {VersionKind::Dword, L"", 4}},
                      PromptCase{"Version4_0", {VersionKind::Text, L"4.0", 0}}),
    [](const ::testing::TestParamInfo<PromptCase>& info) { return std::string(info.param.name); });

TEST_F(Road, PromptLooksAsDesigned) {
  HWND prompt = StartPrompt({VersionKind::Text, L"5.00.2920.0000", 0});
  ASSERT_NE(prompt, nullptr);
  ASSERT_TRUE(Done(SaveScreenshot(prompt, L"prompt")));
  ExpectLayout(prompt, kavrio::layout_oracle::kPrompt, kPromptLookup);
  ExpectOnlyButtonsTakeFocus(prompt);
  PressKey(VK_TAB);
  EXPECT_EQ(FocusOf(prompt), ButtonOf(prompt, L"&Não"));
  PressKey(VK_TAB);
  EXPECT_EQ(FocusOf(prompt), ButtonOf(prompt, L"&Sim"));
}

TEST_F(Road, SimWarnsOfTheRestartThenStartsTheBrowserSetup) {
  HWND prompt = StartPrompt({VersionKind::Text, L"4.0", 0});
  ASSERT_NE(prompt, nullptr);
  PressAltKey('S');
  HWND warning = WaitForWindow(launcher.process.id, L"Kavrio", L"#32770");
  ASSERT_NE(warning, nullptr);
  ASSERT_TRUE(Done(SaveScreenshot(warning, L"restart-warning")));
  const std::vector<Control> controls = Controls(warning);
  const Control* text = FindByText(controls, kRestartWarning);
  ASSERT_NE(text, nullptr) << "the warning's text";
  // Two sentences on two lines: the text is taller than one line of its font.
  EXPECT_GE(text->rect.bottom - text->rect.top, 24);
  int icons = 0, buttons = 0;
  for (const Control& control : controls) {
    if (control.className == L"Static" && (control.style & SS_TYPEMASK) == SS_ICON) ++icons;
    if (control.className == L"Button") ++buttons;
  }
  EXPECT_EQ(icons, 1);
  EXPECT_EQ(buttons, 1);
  EXPECT_TRUE(Starts().empty()) << "nothing starts before the warning is closed";

  BringToFront(warning);
  PressKey(VK_RETURN);
  ExpectStarted(kBrowserSetup);
  EXPECT_TRUE(launcher.WaitForExit());
}

TEST_F(Road, PromptCloseBoxEndsTheProgramWithoutASecondPrompt) {
  HWND prompt = StartPrompt({VersionKind::Text, L"4.0", 0});
  ASSERT_NE(prompt, nullptr);
  CloseBox(prompt);
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();
}

TEST_F(Road, EnterAtOnceOnThePromptWarnsAndEscOnTheWarningGoesOnAsOk) {
  HWND prompt = StartPrompt({VersionKind::Text, L"5.00.2920.0000", 0});
  ASSERT_NE(prompt, nullptr);
  PressKey(VK_RETURN);
  HWND warning = WaitForWindow(launcher.process.id, L"Kavrio", L"#32770");
  ASSERT_NE(warning, nullptr);
  BringToFront(warning);
  PressKey(VK_ESCAPE);
  ExpectStarted(kBrowserSetup);
  EXPECT_TRUE(launcher.WaitForExit());
}

TEST_F(Road, MissingBrowserSetupStillWarnsThenEndsWithoutAMessage) {
  DeleteFileW(kBrowserSetup.c_str());
  HWND prompt = StartPrompt({VersionKind::Text, L"4.72.3110.0", 0});
  ASSERT_NE(prompt, nullptr);
  PressAltKey('S');
  HWND warning = WaitForWindow(launcher.process.id, L"Kavrio", L"#32770");
  ASSERT_NE(warning, nullptr);
  BringToFront(warning);
  PressKey(VK_RETURN);
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();
}

TEST_F(Road, EnterAtOnceOnTheBusinessWindowStartsTheAgent) {
  HWND business = OpenBusiness();
  ASSERT_NE(business, nullptr);
  PressKey(VK_RETURN);
  ExpectStarted(kAgentSetup);
  EXPECT_TRUE(launcher.WaitForExit());
}

// ---- Errors and other DPIs -----------------------------------------------------------------

TEST_F(Road, NumberOutOfByteRangeIsReportedAndNothingElseShows) {
  ASSERT_TRUE(Done(SetBrowserVersion({VersionKind::Binary, L"", 256})));
  ASSERT_TRUE(Done(StartLauncher(launcher)));
  ExpectReportThenEnd(launcher, L"11002: GetValue", L"error-report");
}

TEST_F(Road, At144DpiTheMenuScalesAsAWhole) {
  ASSERT_TRUE(Done(SetLogPixels(144)));
  HWND menu = StartMenu();
  ASSERT_TRUE(Done(SetLogPixels(96)));
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(Done(SaveScreenshot(menu, L"menu-144dpi")));
  const SIZE client = ClientSize(menu);
  EXPECT_EQ(client.cx, 675);
  EXPECT_EQ(client.cy, 516);
  ExpectLayout(menu, kavrio::layout_oracle::kMenu, kMenuLookup, 1.5, 1);
  CloseBox(menu);
  EXPECT_TRUE(launcher.WaitForExit());
}

}  // namespace
}  // namespace e2e
