#include "forms/frm_aplicacao.h"

#include "launch/launch_folder.h"
#include "resources/resource_ids.h"

namespace kavrio {

namespace {

enum : int {
  kCmdAvancar, kCmdSair, kFrame1, kFrame2, kLabel4, kLblTecnico2, kLblTecnico1, kLblTecnico3,
  kLblTecnico, kImage1, kCount
};

// Front to back. Twips from the container's client origin.
constexpr ControlSpec kControls[] = {
    Button("cmdAvancar", kNoContainer, 2160, 4560, 1215, 495, "&Avançar", 1),
    Button("cmdSair", kNoContainer, 5400, 4560, 1215, 495, "&Sair", 2),
    Frame("Frame1", kNoContainer, -120, -240, 8295, 4695),
    Frame("Frame2", kFrame1, 2280, 480, 4335, 735),
    AutoSizeLabel("Label4", kFrame2, 960, 240, 2430, 360, "Kavrio Business", &kLargeHeadingFont),
    Label("lblTecnico2", kFrame1, 2280, 3000, 4215, 615,
          "Para mais informações ou esclarecimentos, a nossa Central de Relacionamento 109 27 "
          "está a sua disposição 24 horas por dia, nos 7 dias da semana."),
    Label("lblTecnico1", kFrame1, 2280, 2160, 4215, 855,
          "Agora será instalado o Assistente Técnico Kavrio. É importante que esse software seja "
          "instalado pois ele faz o diagnóstico automático de possíveis problemas e ajuda na sua "
          "solução."),
    Label("lblTecnico3", kFrame1, 2280, 3840, 4215, 255,
          "Clique em \"Avançar\" para iniciar a instalação."),
    Label("lblTecnico", kFrame1, 2280, 1440, 4455, 615,
          "Se a sua empresa já recebeu a visita do técnico Kavrio, a partir de agora você já pode "
          "aproveitar todas as vantagens   do seu Kavrio Business."),
    Picture("Image1", kFrame1, 240, 480, 1830, 3930, kBitmapAplicacao),
};

}  // namespace

// Checked where it is written; the rows named are those that the code uses by name.
constexpr FormSpec kFrmAplicacao = CheckedForm("frmAplicacao", 6750, 5160, kControls, kCount, {
    {kCmdAvancar, "cmdAvancar"}, {kCmdSair, "cmdSair"}, {kFrame1, "Frame1"}, {kFrame2, "Frame2"}});

FrmAplicacao::FrmAplicacao(WindowSystem& windows, const LaunchContext& launch)
    : LauncherForm(kFrmAplicacao, windows, launch) {}

void FrmAplicacao::OnPress(std::size_t controlIndex) {
  if (controlIndex == kCmdAvancar) HideStartAndEnd(kSupportAgentSetupSuffix);
  if (controlIndex == kCmdSair) windows_.EndProgram();
}

}  // namespace kavrio
