#include "forms/frm_ie.h"

#include "launch/launch_folder.h"
#include "resources/resource_ids.h"

namespace kavrio {

namespace {

enum : int {
  kCmdSim, kCmdNao, kFrame1, kFrame2, kLabel2, kLblTecnico, kLblTecnico1, kImage1, kCount
};

// Front to back. Twips from the container's client origin.
constexpr ControlSpec kControls[] = {
    Button("cmdSim", kNoContainer, 4080, 4560, 1215, 495, "&Sim", 1),
    Button("cmdNão", kNoContainer, 5280, 4560, 1215, 495, "&Não", 2),
    Frame("Frame1", kNoContainer, -120, -120, 8295, 4575),
    Frame("Frame2", kFrame1, 2280, 360, 4455, 735),
    AutoSizeLabel("Label2", kFrame2, 240, 240, 3990, 240,
                  "Impossível iniciar o instalador Kavrio", &kHeadingFont),
    Label("lblTecnico", kFrame1, 2280, 1680, 4455, 855,
          "Não foi detectado em seu sistema o Internet Explorer 5.5 ou superior, para continuar a "
          "instalação do software do Kavrio   é necessário instalar este aplicativo."),
    Label("lblTecnico1", kFrame1, 2280, 2880, 4215, 735,
          "Você deseja instalar o Internet Explorer 5.5 agora ?"),
    Picture("Image1", kFrame1, 240, 360, 1830, 3930, kBitmapPrincipal),
};

}  // namespace

// Checked where it is written; the rows named are those that the code uses by name.
constexpr FormSpec kFrmIE = CheckedForm("frmIE", 6750, 5130, kControls, kCount, {
    {kCmdSim, "cmdSim"}, {kCmdNao, "cmdNão"}, {kFrame1, "Frame1"}, {kFrame2, "Frame2"}});

// Two sentences split by a lone carriage return, which the message box shows as two lines.
constexpr char kRestartWarning[] =
    "Após o término da instalação do Internet Explorer, seu computador será reinicializado."
    "\r"
    "Por favor após o reinício do sistema, retire o CD de instalação e insira-o novamente.";
static_assert(TextLength(kRestartWarning) < kMaxFormText);

FrmIE::FrmIE(WindowSystem& windows, const LaunchContext& launch)
    : LauncherForm(kFrmIE, windows, launch) {}

void FrmIE::OnPress(std::size_t controlIndex) {
  if (controlIndex == kCmdNao) windows_.EndProgram();
  if (controlIndex != kCmdSim) return;
  windows_.ShowInformation(*this, kRestartWarning, kFormTitle);
  windows_.Hide(*this);
  StartInstaller(launch_, kBrowserSetupSuffix);
  windows_.Unload(*this);
  windows_.EndProgram();
}

}  // namespace kavrio
