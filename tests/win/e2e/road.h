// What the end-to-end roads share: the texts as the user reads them, how each control of the
// layout oracle is found in a live window, and the fixture that lays out the CD, starts the
// launcher and finds its windows.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver.h"
#include "layout_check.h"
#include "layout_oracle.h"

namespace e2e {

inline constexpr wchar_t kLabel2Menu[] =
    L"Clique abaixo no Kavrio que                  você adquiriu:";
inline constexpr wchar_t kPromptHeading[] = L"Impossível iniciar o instalador Kavrio";
inline constexpr wchar_t kPromptText[] =
    L"Não foi detectado em seu sistema o Internet Explorer 5.5 ou superior, para continuar a "
    L"instalação do software do Kavrio   é necessário instalar este aplicativo.";
inline constexpr wchar_t kPromptQuestion[] = L"Você deseja instalar o Internet Explorer 5.5 agora ?";
inline constexpr wchar_t kBusinessText[] =
    L"Se a sua empresa já recebeu a visita do técnico Kavrio, a partir de agora você já pode "
    L"aproveitar todas as vantagens   do seu Kavrio Business.";
inline constexpr wchar_t kBusinessText1[] =
    L"Agora será instalado o Assistente Técnico Kavrio. É importante que esse software seja "
    L"instalado pois ele faz o diagnóstico automático de possíveis problemas e ajuda na sua "
    L"solução.";
inline constexpr wchar_t kBusinessText2[] =
    L"Para mais informações ou esclarecimentos, a nossa Central de Relacionamento 109 27 está a "
    L"sua disposição 24 horas por dia, nos 7 dias da semana.";
inline constexpr wchar_t kBusinessText3[] = L"Clique em \"Avançar\" para iniciar a instalação.";
inline constexpr wchar_t kRestartWarning[] =
    L"Após o término da instalação do Internet Explorer, seu computador será reinicializado.\r"
    L"Por favor após o reinício do sistema, retire o CD de instalação e insira-o novamente.";


inline constexpr LabelFont kPromptHeadingFont = {L"MS Sans Serif", 13, true};    // 9.75 pt bold
inline constexpr LabelFont kBusinessHeadingFont = {L"MS Sans Serif", 18, true};  // 13.5 pt bold

// How each control of the oracle is found in the live window.
inline const Lookup kMenuLookup[] = {
    {"Frame2", Find::FrameOf, kLabel2Menu},     {"Label2", Find::Text, kLabel2Menu},
    {"cmdHome", Find::Text, L"Kavrio"},         {"cmdBusiness", Find::Text, L"Kavrio Business"},
    {"cmdSair", Find::Text, L"&Sair"},          {"Frame1", Find::FrameOf, L"Kavrio"},
    {"Image1", Find::Picture, nullptr},
};
inline const Lookup kPromptLookup[] = {
    {"Frame2", Find::FrameOf, kPromptHeading},
    {"Label2", Find::Text, kPromptHeading, &kPromptHeadingFont},
    {"lblTecnico", Find::Text, kPromptText},    {"lblTecnico1", Find::Text, kPromptQuestion},
    {"cmdSim", Find::Text, L"&Sim"},            {"cmdNão", Find::Text, L"&Não"},
    {"Frame1", Find::FrameOf, kPromptText},     {"Image1", Find::Picture, nullptr},
};
inline const Lookup kBusinessLookup[] = {
    {"Frame2", Find::FrameOf, L"Kavrio Business"},
    {"Label4", Find::Text, L"Kavrio Business", &kBusinessHeadingFont},
    {"lblTecnico", Find::Text, kBusinessText},  {"lblTecnico1", Find::Text, kBusinessText1},
    {"lblTecnico2", Find::Text, kBusinessText2}, {"lblTecnico3", Find::Text, kBusinessText3},
    {"cmdAvancar", Find::Text, L"&Avançar"},    {"cmdSair", Find::Text, L"&Sair"},
    {"Frame1", Find::FrameOf, kBusinessText},   {"Image1", Find::Picture, nullptr},
};

inline HWND ButtonOf(HWND window, const wchar_t* text) {
  const std::vector<Control> controls = Controls(window);
  const Control* control = FindByText(controls, text);
  return control ? control->window : nullptr;
}

// The visible launcher form of the process that holds a control with this text.
inline HWND FindForm(DWORD processId, const wchar_t* controlText) {
  for (HWND window : VisibleWindows(processId)) {
    if (ClassOf(window) == L"KavrioForm" && ButtonOf(window, controlText)) return window;
  }
  return nullptr;
}

inline HWND WaitForForm(DWORD processId, const wchar_t* controlText, DWORD milliseconds = 10000) {
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

inline bool ShowsForm(DWORD processId, const wchar_t* controlText) {
  return FindForm(processId, controlText) != nullptr;
}

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
    SetLogPixels(96);
    if (layOutCd) LayOutCd();
    ClearStarts();
    SetBrowserVersion({VersionKind::Text, L"6.0.2800.1106", 0});
  }
  void TearDown() override {
    for (RegistryView view : {RegistryView::Shipped32, RegistryView::Native64}) {
      SetBrowserVersion({VersionKind::Text, L"9.11.9600.18376", 0}, view);
    }
  }

  HWND StartMenu(const LaunchOptions& options = {}) {
    StartLauncher(launcher, options);
    HWND menu = WaitForForm(launcher.process.dwProcessId, L"Kavrio Business");
    if (menu) BringToFront(menu);
    return menu;
  }

  HWND StartPrompt(const BrowserVersion& version, const LaunchOptions& options = {}) {
    SetBrowserVersion(version);
    StartLauncher(launcher, options);
    HWND prompt = WaitForForm(launcher.process.dwProcessId, L"&Sim");
    if (prompt) BringToFront(prompt);
    return prompt;
  }

  HWND OpenBusiness(const LaunchOptions& options = {}) {
    HWND menu = StartMenu(options);
    if (!menu) return nullptr;
    ClickCentre(ButtonOf(menu, L"Kavrio Business"));
    HWND business = WaitForForm(launcher.process.dwProcessId, L"&Avançar");
    if (business) BringToFront(business);
    return business;
  }

  // Answers the restart warning with Enter; it must show the warning's own text.
  void AcceptRestartWarning() {
    HWND warning = WaitForWindow(launcher.process.dwProcessId, L"Kavrio", L"#32770");
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
