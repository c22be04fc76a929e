// A window of the launcher as the rest of the program sees it: its table, the handler of its
// buttons, and the window operations it may ask for. Portable: the Win32 engine implements
// WindowSystem, the host tests fake it.
#pragma once

#include <cstddef>

#include "forms/form_spec.h"
#include "launch/funcoes.h"

namespace kavrio {

class Form {
 public:
  explicit Form(const FormSpec& spec) : spec_(spec) {}
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const FormSpec& Spec() const { return spec_; }

  // A press of the button at `controlIndex` of the table: mouse click, access key, or Space
  // or Enter while it has the focus.
  virtual void OnPress(std::size_t controlIndex) = 0;

 protected:
  ~Form() = default;

 private:
  const FormSpec& spec_;
};

// The window operations that the handlers use. A form's window is made when the form is
// first shown.
class WindowSystem {
 public:
  // Shows the form modeless, centred on the screen the first time it is shown.
  virtual void Show(Form& form) = 0;
  // Shows the form modally, with no owner; returns once it has been hidden or closed.
  virtual void ShowModal(Form& form) = 0;
  // Hides the form; it still exists.
  virtual void Hide(Form& form) = 0;
  // Closes and destroys the form without running any step of its own.
  virtual void Unload(Form& form) = 0;
  // A message box modal to `owner`, with the information icon and a single OK.
  virtual void ShowInformation(Form& owner, const char* text, const char* title) = 0;
  // Ends the program at once: every window goes, nothing waits for started programs.
  virtual void EndProgram() = 0;

 protected:
  ~WindowSystem() = default;
};

// A window of the launcher: its handlers have the window operations and the CD at hand.
class LauncherForm : public Form {
 protected:
  LauncherForm(const FormSpec& spec, WindowSystem& windows, const LaunchContext& launch)
      : Form(spec), windows_(windows), launch_(launch) {}

  // The end of an install road: the window hides, the installer starts, the program ends.
  void HideStartAndEnd(const char16_t* installerSuffix) {
    windows_.Hide(*this);
    StartInstaller(launch_, installerSuffix);
    windows_.EndProgram();
  }

  WindowSystem& windows_;
  const LaunchContext& launch_;
};

}  // namespace kavrio
