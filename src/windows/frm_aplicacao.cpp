#include "windows/frm_aplicacao.h"

#include "launch/launch_folder.h"
#include "resources/resource_ids.h"

namespace kavrio {

namespace {

const FontSpec kHeadingFont = {"MS Sans Serif", 1350, true};

enum : int {
  kCmdAvancar, kCmdSair, kFrame1, kFrame2, kLabel4, kLblTecnico2, kLblTecnico1, kLblTecnico3,
  kLblTecnico, kImage1, kCount
};

// Front to back. Twips from the container's client origin.
const ControlSpec kControls[kCount] = {
    {"cmdAvancar", ControlKind::PushButton, kNoContainer, 2160, 4560, 1215, 495, nullptr,
     "&Avançar", 1, 0},
    {"cmdSair", ControlKind::PushButton, kNoContainer, 5400, 4560, 1215, 495, nullptr, "&Sair", 2, 0},
    {"Frame1", ControlKind::Frame, kNoContainer, -120, -240, 8295, 4695, nullptr, "", kNoFocus, 0},
    {"Frame2", ControlKind::Frame, kFrame1, 2280, 480, 4335, 735, nullptr, "", kNoFocus, 0},
    {"Label4", ControlKind::AutoSizeLabel, kFrame2, 960, 240, 2430, 360, &kHeadingFont,
     "Kavrio Business", kNoFocus, 0},
    {"lblTecnico2", ControlKind::WrappingLabel, kFrame1, 2280, 3000, 4215, 615, nullptr,
     "Para mais informações ou esclarecimentos, a nossa Central de Relacionamento 109 27 está a "
     "sua disposição 24 horas por dia, nos 7 dias da semana.",
     kNoFocus, 0},
    {"lblTecnico1", ControlKind::WrappingLabel, kFrame1, 2280, 2160, 4215, 855, nullptr,
     "Agora será instalado o Assistente Técnico Kavrio. É importante que esse software seja "
     "instalado pois ele faz o diagnóstico automático de possíveis problemas e ajuda na sua "
     "solução.",
     kNoFocus, 0},
    {"lblTecnico3", ControlKind::WrappingLabel, kFrame1, 2280, 3840, 4215, 255, nullptr,
     "Clique em \"Avançar\" para iniciar a instalação.", kNoFocus, 0},
    {"lblTecnico", ControlKind::WrappingLabel, kFrame1, 2280, 1440, 4455, 615, nullptr,
     "Se a sua empresa já recebeu a visita do técnico Kavrio, a partir de agora você já pode "
     "aproveitar todas as vantagens   do seu Kavrio Business.",
     kNoFocus, 0},
    {"Image1", ControlKind::Picture, kFrame1, 240, 480, 1830, 3930, nullptr, "", kNoFocus,
     kBitmapAplicacao},
};

}  // namespace

const FormSpec kFrmAplicacao = {"frmAplicacao", "Kavrio", 6750, 5160, kControls, kCount};

FrmAplicacao::FrmAplicacao(WindowSystem& windows, const LaunchContext& launch)
    : Form(kFrmAplicacao), windows_(windows), launch_(launch) {}

void FrmAplicacao::OnPress(std::size_t controlIndex) {
  switch (controlIndex) {
    case kCmdAvancar:
      windows_.Hide(*this);
      StartInstaller(launch_, kSupportAgentSetupSuffix);
      windows_.EndProgram();
      break;
    case kCmdSair:
      windows_.EndProgram();
      break;
    default:
      break;
  }
}

}  // namespace kavrio
