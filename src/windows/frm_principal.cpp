#include "windows/frm_principal.h"

#include "launch/launch_folder.h"
#include "resources/resource_ids.h"
#include "windows/form_layout.h"

namespace kavrio {

namespace {

const FontSpec kHeadingFont = {"MS Sans Serif", 975, true};

enum : int { kFrame2, kLabel2, kCmdSair, kFrame1, kCmdHome, kCmdBusiness, kImage1, kCount };

// Front to back. Twips from the container's client origin.
const ControlSpec kControls[kCount] = {
    {"Frame2", ControlKind::Frame, kNoContainer, 2160, 240, 4335, 855, nullptr, "", kNoFocus, 0},
    {"Label2", ControlKind::WrappingLabel, kFrame2, 600, 240, 3345, 480, &kHeadingFont,
     // The run of 18 spaces pushes the second half onto the label's second line.
     "Clique abaixo no Kavrio que                  você adquiriu:", kNoFocus, 0},
    {"cmdSair", ControlKind::PushButton, kNoContainer, 5160, 4560, 1215, 495, nullptr, "&Sair", 3, 0},
    {"Frame1", ControlKind::Frame, kNoContainer, -120, -240, 8295, 4695, nullptr, "", kNoFocus, 0},
    {"cmdHome", ControlKind::PushButton, kFrame1, 2280, 2040, 4335, 495, nullptr, "Kavrio", 1, 0},
    {"cmdBusiness", ControlKind::PushButton, kFrame1, 2280, 2760, 4335, 495, nullptr,
     "Kavrio Business", 2, 0},
    {"Image1", ControlKind::Picture, kFrame1, 240, 480, 1830, 3930, nullptr, "", kNoFocus,
     kBitmapPrincipal},
};

}  // namespace

const FormSpec kFrmPrincipal = {"frmprincipal", "Kavrio", 6750, 5160, kControls, kCount};

FrmPrincipal::FrmPrincipal(WindowSystem& windows, const LaunchContext& launch,
                           Form& browserPrompt, Form& businessWindow)
    : Form(kFrmPrincipal),
      windows_(windows),
      launch_(launch),
      browserPrompt_(browserPrompt),
      businessWindow_(businessWindow) {}

bool FrmPrincipal::Load(RegistryPort& registry, RaisedError* raised) {
  return CheckBrowser(registry, *this, raised);
}

void FrmPrincipal::Prompt() {
  // The menu is dismissed without ever being shown; the prompt takes its place.
  windows_.Unload(*this);
  windows_.ShowModal(browserPrompt_);
}

void FrmPrincipal::OnPress(std::size_t controlIndex) {
  switch (controlIndex) {
    case kCmdHome:
      windows_.Hide(*this);
      StartInstaller(launch_, kHomeSetupSuffix);
      windows_.EndProgram();
      break;
    case kCmdBusiness:
      windows_.Hide(*this);
      windows_.Show(businessWindow_);
      windows_.Unload(*this);
      break;
    case kCmdSair:
      windows_.EndProgram();
      break;
    default:
      break;
  }
}

}  // namespace kavrio
