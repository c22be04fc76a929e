// The form engine on the real window system: turns a form's table into Win32 windows and
// runs the message loop.
#pragma once

#include "windows/form.h"

namespace kavrio {

class Win32WindowSystem final : public WindowSystem {
 public:
  // `instance` is the program's HINSTANCE: its resources hold the icon and the pictures.
  explicit Win32WindowSystem(void* instance);

  void Create(Form& form) override;
  void Show(Form& form) override;
  void ShowModal(Form& form) override;
  void Hide(Form& form) override;
  void Unload(Form& form) override;
  void ShowInformation(Form& owner, const char* text, const char* title) override;
  void EndProgram() override;

  // Runs the message loop for as long as any form's window exists.
  void RunUntilLastWindowGone();
};

}  // namespace kavrio
