// The launcher's roads, driven through its real windows.
#include <gtest/gtest.h>

#include "driver.h"
#include "layout_check.h"

namespace e2e {
namespace {

const wchar_t kLabel2Menu[] = L"Clique abaixo no Kavrio que                  você adquiriu:";
const wchar_t kPromptHeading[] = L"Impossível iniciar o instalador Kavrio";
const wchar_t kPromptText[] =
    L"Não foi detectado em seu sistema o Internet Explorer 5.5 ou superior, para continuar a "
    L"instalação do software do Kavrio   é necessário instalar este aplicativo.";
const wchar_t kPromptQuestion[] = L"Você deseja instalar o Internet Explorer 5.5 agora ?";
const wchar_t kBusinessText[] =
    L"Se a sua empresa já recebeu a visita do técnico Kavrio, a partir de agora você já pode "
    L"aproveitar todas as vantagens   do seu Kavrio Business.";
const wchar_t kBusinessText1[] =
    L"Agora será instalado o Assistente Técnico Kavrio. É importante que esse software seja "
    L"instalado pois ele faz o diagnóstico automático de possíveis problemas e ajuda na sua "
    L"solução.";
const wchar_t kBusinessText2[] =
    L"Para mais informações ou esclarecimentos, a nossa Central de Relacionamento 109 27 está a "
    L"sua disposição 24 horas por dia, nos 7 dias da semana.";
const wchar_t kBusinessText3[] = L"Clique em \"Avançar\" para iniciar a instalação.";
const wchar_t kRestartWarning[] =
    L"Após o término da instalação do Internet Explorer, seu computador será reinicializado.\r"
    L"Por favor após o reinício do sistema, retire o CD de instalação e insira-o novamente.";

const LabelFont kPromptHeadingFont = {L"MS Sans Serif", 13, true};  // 9.75 pt bold
const LabelFont kBusinessHeadingFont = {L"MS Sans Serif", 18, true};  // 13.5 pt bold

// Window pixels at 96 dpi, as the user sees them.
const Expected kMenuLayout[] = {
    {L"Frame2", Find::FrameOf, kLabel2Menu, 144, 16, 289, 57, 0},
    {L"Label2", Find::Text, kLabel2Menu, 184, 32, 223, 32, 0},
    {L"cmdHome", Find::Text, L"Kavrio", 144, 120, 289, 33, 0},
    {L"cmdBusiness", Find::Text, L"Kavrio Business", 144, 168, 289, 33, 0},
    {L"cmdSair", Find::Text, L"&Sair", 344, 304, 81, 33, 0},
    {L"Frame1", Find::FrameOf, L"Kavrio", -8, -16, 553, 313, 0},
    {L"Image1", Find::Picture, nullptr, 8, 16, 122, 262, 0},
};

const Expected kPromptLayout[] = {
    {L"Frame2", Find::FrameOf, kPromptHeading, 144, 16, 297, 49, 0},
    {L"Label2", Find::Text, kPromptHeading, 160, 32, 266, 16, 2, &kPromptHeadingFont},
    {L"lblTecnico", Find::Text, kPromptText, 144, 104, 297, 57, 0},
    {L"lblTecnico1", Find::Text, kPromptQuestion, 144, 184, 281, 49, 0},
    {L"cmdSim", Find::Text, L"&Sim", 272, 304, 81, 33, 0},
    {L"cmdNão", Find::Text, L"&Não", 352, 304, 81, 33, 0},
    {L"Frame1", Find::FrameOf, kPromptText, -8, -8, 553, 305, 0},
    {L"Image1", Find::Picture, nullptr, 8, 16, 122, 262, 0},
};

const Expected kBusinessLayout[] = {
    {L"Frame2", Find::FrameOf, L"Kavrio Business", 144, 16, 289, 49, 0},
    {L"Label4", Find::Text, L"Kavrio Business", 208, 32, 162, 24, 2, &kBusinessHeadingFont},
    {L"lblTecnico", Find::Text, kBusinessText, 144, 80, 297, 41, 0},
    {L"lblTecnico1", Find::Text, kBusinessText1, 144, 128, 281, 57, 0},
    {L"lblTecnico2", Find::Text, kBusinessText2, 144, 184, 281, 41, 0},
    {L"lblTecnico3", Find::Text, kBusinessText3, 144, 240, 281, 17, 0},
    {L"cmdAvancar", Find::Text, L"&Avançar", 144, 304, 81, 33, 0},
    {L"cmdSair", Find::Text, L"&Sair", 360, 304, 81, 33, 0},
    {L"Frame1", Find::FrameOf, kBusinessText, -8, -16, 553, 313, 0},
    {L"Image1", Find::Picture, nullptr, 8, 16, 122, 262, 0},
};

HWND ButtonOf(HWND window, const wchar_t* text) {
  const std::vector<Control> controls = Controls(window);
  const Control* control = FindByText(controls, text);
  return control ? control->window : nullptr;
}

// The visible launcher form of the process that holds a control with this text.
HWND FindForm(DWORD processId, const wchar_t* controlText) {
  for (HWND window : VisibleWindows(processId)) {
    if (ClassOf(window) == L"KavrioForm" && ButtonOf(window, controlText)) return window;
  }
  return nullptr;
}

HWND WaitForForm(DWORD processId, const wchar_t* controlText, DWORD milliseconds = 10000) {
  const DWORD start = GetTickCount();
  do {
    if (HWND window = FindForm(processId, controlText)) {
      Sleep(150);  // let it finish its first paint
      return window;
    }
    Sleep(50);
  } while (GetTickCount() - start < milliseconds);
  return nullptr;
}

bool ShowsForm(DWORD processId, const wchar_t* controlText) {
  return FindForm(processId, controlText) != nullptr;
}

// Nothing was started, and nothing starts a little later either.
void ExpectNothingStarted() {
  Sleep(500);
  EXPECT_TRUE(Starts().empty());
}

void ExpectStarted(const std::wstring& program) {
  const std::vector<StartRecord> starts = WaitForStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].program, program);
  EXPECT_EQ(starts[0].commandLine, L"\"" + program + L"\"");
  EXPECT_EQ(starts[0].workingFolder, L"C:\\");
}

class Road : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogPixels(96);
    LayOutCd();
    ClearStarts();
    SetBrowserVersion({VersionKind::Text, L"6.0.2800.1106", 0});
  }
  void TearDown() override {
    for (RegistryView view : {RegistryView::Shipped32, RegistryView::Native64}) {
      SetBrowserVersion({VersionKind::Text, L"9.11.9600.18376", 0}, view);
    }
  }

  HWND StartMenu() {
    StartLauncher(launcher);
    HWND menu = WaitForForm(launcher.process.dwProcessId, L"Kavrio Business");
    if (menu) BringToFront(menu);
    return menu;
  }

  HWND StartPrompt(const BrowserVersion& version) {
    SetBrowserVersion(version);
    StartLauncher(launcher);
    HWND prompt = WaitForForm(launcher.process.dwProcessId, L"&Sim");
    if (prompt) BringToFront(prompt);
    return prompt;
  }

  HWND OpenBusiness() {
    HWND menu = StartMenu();
    if (!menu) return nullptr;
    ClickCentre(ButtonOf(menu, L"Kavrio Business"));
    HWND business = WaitForForm(launcher.process.dwProcessId, L"&Avançar");
    if (business) BringToFront(business);
    return business;
  }

  Launcher launcher;
};

// ---- Menu road -----------------------------------------------------------------------------

TEST_F(Road, MenuLooksAsDesignedAndTabCyclesItsButtons) {
  HWND menu = StartMenu();
  ASSERT_NE(menu, nullptr);
  SaveScreenshot(menu, L"menu");
  ExpectCommonLook(menu, 450, 344);
  ExpectLayout(menu, kMenuLayout, std::size(kMenuLayout));
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
  ExpectStarted(L"D:\\Setup.exe");
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
  DeleteFileW(L"D:\\Setup.exe");
  HWND menu = StartMenu();
  ASSERT_NE(menu, nullptr);
  ClickCentre(ButtonOf(menu, L"Kavrio"));
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();
}

TEST_F(Road, LaunchFolderWithSpacesStartsItsOwnSetup) {
  CopyLauncherTo(L"D:\\CD Kavrio\\kavrio.exe");
  PlantStub(L"D:\\CD Kavrio\\Setup.exe");
  StartLauncher(launcher, L"D:\\CD Kavrio\\kavrio.exe");
  HWND menu = WaitForForm(launcher.process.dwProcessId, L"Kavrio Business");
  ASSERT_NE(menu, nullptr);
  BringToFront(menu);
  PressKey(VK_RETURN);
  ExpectStarted(L"D:\\CD Kavrio\\Setup.exe");
  EXPECT_TRUE(launcher.WaitForExit());
}

// ---- Business road -------------------------------------------------------------------------

TEST_F(Road, BusinessReplacesTheMenuAndStartsTheAgentNotTheDecoy) {
  PlantStub(L"D:\\Agente.exe");
  HWND business = OpenBusiness();
  ASSERT_NE(business, nullptr);
  EXPECT_FALSE(ShowsForm(launcher.process.dwProcessId, L"Kavrio"));
  SaveScreenshot(business, L"business");
  ExpectCommonLook(business, 450, 344);
  ExpectLayout(business, kBusinessLayout, std::size(kBusinessLayout));
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
  ExpectStarted(L"D:\\Agente Plimox\\Instalador Assistente Kavrio.exe");
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
  EXPECT_FALSE(ShowsForm(launcher.process.dwProcessId, L"Kavrio Business"));
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
  SetBrowserVersion({VersionKind::Text, L"6.0.2800.1106", 0}, RegistryView::Native64);
  HWND prompt = StartPrompt({VersionKind::NoKey, L"", 0});
  ASSERT_NE(prompt, nullptr);
  EXPECT_FALSE(ShowsForm(launcher.process.dwProcessId, L"Kavrio Business"));
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
  SaveScreenshot(prompt, L"prompt");
  ExpectLayout(prompt, kPromptLayout, std::size(kPromptLayout));
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
  HWND warning = WaitForWindow(launcher.process.dwProcessId, L"Kavrio", L"#32770");
  ASSERT_NE(warning, nullptr);
  SaveScreenshot(warning, L"restart-warning");
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
  ExpectStarted(L"D:\\Internet Explorer 5.5\\ie5setup.exe");
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
  HWND warning = WaitForWindow(launcher.process.dwProcessId, L"Kavrio", L"#32770");
  ASSERT_NE(warning, nullptr);
  BringToFront(warning);
  PressKey(VK_ESCAPE);
  ExpectStarted(L"D:\\Internet Explorer 5.5\\ie5setup.exe");
  EXPECT_TRUE(launcher.WaitForExit());
}

TEST_F(Road, MissingBrowserSetupStillWarnsThenEndsWithoutAMessage) {
  DeleteFileW(L"D:\\Internet Explorer 5.5\\ie5setup.exe");
  HWND prompt = StartPrompt({VersionKind::Text, L"4.72.3110.0", 0});
  ASSERT_NE(prompt, nullptr);
  PressAltKey('S');
  HWND warning = WaitForWindow(launcher.process.dwProcessId, L"Kavrio", L"#32770");
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
  ExpectStarted(L"D:\\Agente Plimox\\Instalador Assistente Kavrio.exe");
  EXPECT_TRUE(launcher.WaitForExit());
}

// ---- Errors and other DPIs -----------------------------------------------------------------

TEST_F(Road, NumberOutOfByteRangeIsReportedAndNothingElseShows) {
  SetBrowserVersion({VersionKind::Binary, L"", 256});
  StartLauncher(launcher);
  HWND report = WaitForWindow(launcher.process.dwProcessId, L"Kavrio", L"#32770");
  ASSERT_NE(report, nullptr);
  SaveScreenshot(report, L"error-report");
  bool numberShown = false, descriptionShown = false;
  for (const Control& control : Controls(report)) {
    numberShown |= control.text.find(L"11002") != std::wstring::npos;
    descriptionShown |= control.text.find(L"GetValue") != std::wstring::npos;
  }
  EXPECT_TRUE(numberShown);
  EXPECT_TRUE(descriptionShown);
  EXPECT_EQ(VisibleWindows(launcher.process.dwProcessId).size(), 1u);
  BringToFront(report);
  PressKey(VK_RETURN);
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();
}

TEST_F(Road, At144DpiTheMenuScalesAsAWhole) {
  SetLogPixels(144);
  HWND menu = StartMenu();
  SetLogPixels(96);
  ASSERT_NE(menu, nullptr);
  SaveScreenshot(menu, L"menu-144dpi");
  const SIZE client = ClientSize(menu);
  EXPECT_EQ(client.cx, 675);
  EXPECT_EQ(client.cy, 516);
  ExpectLayout(menu, kMenuLayout, std::size(kMenuLayout), 1.5, 1);
  CloseBox(menu);
  EXPECT_TRUE(launcher.WaitForExit());
}

}  // namespace
}  // namespace e2e
