// The menu window and the program's start object: its load step runs the browser check, and
// it offers the home product, the business product and an exit button.
#pragma once

#include "common/raised_error.h"
#include "forms/form.h"
#include "startup/browser_check.h"

namespace kavrio {

extern const FormSpec kFrmPrincipal;

class FrmPrincipal final : public LauncherForm, private PromptAction {
 public:
  FrmPrincipal(WindowSystem& windows, const LaunchContext& launch, Form& browserPrompt,
               Form& businessWindow);

  // The load step, run once the window exists and before it is first shown. Menu: the menu
  // is to be shown. Prompt: the menu was dismissed and the browser prompt took its place.
  // Raises what the registry reader raised.
  OrRaised<BrowserRoad> Load(RegistryPort& registry);

  void OnPress(std::size_t controlIndex) override;

 private:
  void Prompt() override;

  Form& browserPrompt_;
  Form& businessWindow_;
};

}  // namespace kavrio
