// The menu window and the program's start object: its load step runs the browser check, and
// it offers the home product, the business product and an exit button.
#pragma once

#include "launch/start_installer.h"
#include "common/raised_error.h"
#include "startup/browser_check.h"
#include "forms/form.h"

namespace kavrio {

class RegistryPort;

extern const FormSpec kFrmPrincipal;

class FrmPrincipal final : public Form, private PromptAction {
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

  WindowSystem& windows_;
  const LaunchContext& launch_;
  Form& browserPrompt_;
  Form& businessWindow_;
};

}  // namespace kavrio
