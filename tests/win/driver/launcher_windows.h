// The launcher's windows as the user must see them: every text, exactly, and how each
// control is found in a live window. The Windows tier and the preflight both check against it.
#pragma once

#include <windows.h>

#include <vector>

#include "driver.h"
#include "win32/scoped.h"

namespace launcher_driver {

enum class Find {
  Text,     // the control whose text is `key`
  FrameOf,  // the frame that holds the control whose text is `key`
  Picture,  // the bitmap static
};

// The font of a label that sizes itself to its text.
struct LabelFont {
  const wchar_t* face;
  int pixelHeight;  // at 96 dpi
  bool bold;
};

// How a control of the layout oracle (tests/layout_oracle.h) is found in a live window.
struct Lookup {
  const char* name;  // as in the oracle
  Find find;
  const wchar_t* key;
  const LabelFont* selfSizing = nullptr;  // a label that takes the size of its text
};

// One line of `text` in `font`, as GDI measures it here. The table's sizes for self-sizing
// labels are Windows' own MS Sans Serif; Wine's copy of that face has other widths and lacks
// the larger bitmap sizes, so a label is checked against its text as this system draws it.
// A measure that cannot be taken is noted, and comes back as {0, 0}.
inline SIZE TextExtent(const LabelFont& font, const wchar_t* text) {
  const kavrio::ScopedGetDC dc(nullptr);
  const kavrio::ScopedFont handle(CreateFontW(
      -font.pixelHeight, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
      ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
      DEFAULT_PITCH | FF_SWISS, font.face));
  SIZE extent = {};
  TEXTMETRICW metrics = {};
  if (!dc || !handle) {
    NoteFailedCall(L"measuring a label", CallFailed(dc ? L"CreateFontW" : L"GetDC"));
    return extent;
  }
  const kavrio::ScopedSelectObject selected(dc, handle.Get());
  if (!GetTextExtentPoint32W(dc, text, lstrlenW(text), &extent) ||
      !GetTextMetricsW(dc, &metrics)) {
    NoteFailedCall(L"measuring a label", CallFailed(L"GetTextExtentPoint32W or GetTextMetricsW"));
    return {};
  }
  extent.cy = metrics.tmHeight;
  return extent;
}

inline const Control* Locate(const std::vector<Control>& controls, const Lookup& row) {
  switch (row.find) {
    case Find::Text:
      return FindByText(controls, row.key);
    case Find::FrameOf: {
      const Control* inside = FindByText(controls, row.key);
      if (!inside) return nullptr;
      for (const Control& control : controls) {
        if (control.window == inside->parent) return &control;
      }
      return nullptr;
    }
    case Find::Picture:
      for (const Control& control : controls) {
        if (control.className == L"Static" && (control.style & SS_TYPEMASK) == SS_BITMAP) {
          return &control;
        }
      }
      return nullptr;
  }
  return nullptr;
}

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
inline constexpr Lookup kMenuLookup[] = {
    {"Frame2", Find::FrameOf, kLabel2Menu},     {"Label2", Find::Text, kLabel2Menu},
    {"cmdHome", Find::Text, L"Kavrio"},         {"cmdBusiness", Find::Text, L"Kavrio Business"},
    {"cmdSair", Find::Text, L"&Sair"},          {"Frame1", Find::FrameOf, L"Kavrio"},
    {"Image1", Find::Picture, nullptr},
};
inline constexpr Lookup kPromptLookup[] = {
    {"Frame2", Find::FrameOf, kPromptHeading},
    {"Label2", Find::Text, kPromptHeading, &kPromptHeadingFont},
    {"lblTecnico", Find::Text, kPromptText},    {"lblTecnico1", Find::Text, kPromptQuestion},
    {"cmdSim", Find::Text, L"&Sim"},            {"cmdNão", Find::Text, L"&Não"},
    {"Frame1", Find::FrameOf, kPromptText},     {"Image1", Find::Picture, nullptr},
};
inline constexpr Lookup kBusinessLookup[] = {
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

}  // namespace launcher_driver
