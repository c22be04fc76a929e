#include "forms/frm_principal.h"

#include "launch/launch_folder.h"
#include "resources/resource_ids.h"

namespace kavrio {

namespace {

enum : int { kFrame2, kLabel2, kCmdSair, kFrame1, kCmdHome, kCmdBusiness, kImage1, kCount };

// Front to back. Twips from the container's client origin.
constexpr ControlSpec kControls[] = {
    Frame("Frame2", kNoContainer, 2160, 240, 4335, 855),
    // The run of 18 spaces pushes the second half onto the label's second line.
    Label("Label2", kFrame2, 600, 240, 3345, 480,
          "Clique abaixo no Kavrio que                  você adquiriu:", &kHeadingFont),
    Button("cmdSair", kNoContainer, 5160, 4560, 1215, 495, "&Sair", 3),
    Frame("Frame1", kNoContainer, -120, -240, 8295, 4695),
    Button("cmdHome", kFrame1, 2280, 2040, 4335, 495, "Kavrio", 1),
    Button("cmdBusiness", kFrame1, 2280, 2760, 4335, 495, "Kavrio Business", 2),
    Picture("Image1", kFrame1, 240, 480, 1830, 3930, kBitmapPrincipal),
};

}  // namespace

// Checked where it is written; the rows named are those that the code uses by name.
constexpr FormSpec kFrmPrincipal = CheckedForm("frmprincipal", 6750, 5160, kControls, kCount, {
    {kCmdHome, "cmdHome"}, {kCmdBusiness, "cmdBusiness"}, {kCmdSair, "cmdSair"},
    {kFrame1, "Frame1"}, {kFrame2, "Frame2"}});

FrmPrincipal::FrmPrincipal(WindowSystem& windows, const LaunchContext& launch,
                           Form& browserPrompt, Form& businessWindow)
    : LauncherForm(kFrmPrincipal, windows, launch),
      browserPrompt_(browserPrompt),
      businessWindow_(businessWindow) {}

OrRaised<BrowserRoad> FrmPrincipal::Load(RegistryPort& registry) {
  return CheckBrowser(registry, *this);
}

void FrmPrincipal::Prompt() {
  // The menu is dismissed without ever being shown; the prompt takes its place.
  windows_.Unload(*this);
  windows_.ShowModal(browserPrompt_);
}

void FrmPrincipal::OnPress(std::size_t controlIndex) {
  switch (controlIndex) {
    case kCmdHome:
      HideStartAndEnd(kHomeSetupSuffix);
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
