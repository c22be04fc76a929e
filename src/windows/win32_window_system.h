// The form engine on the real window system: turns a form's table into Win32 windows and
// runs the message loop. It owns all of its state; each window finds its own through
// GWLP_USERDATA.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>

#include "common/limits.h"
#include "common/raised_error.h"
#include "forms/form.h"
#include "forms/form_layout.h"
#include "win32/scoped.h"
#include "windows/form_slots.h"

namespace kavrio {

// The window class of the launcher's forms.
extern const char kFormClassName[];

class Win32WindowSystem final : public WindowSystem {
 public:
  // `instance` is the program's HINSTANCE: its resources hold the icon and the pictures.
  explicit Win32WindowSystem(HINSTANCE instance) : instance_(instance) {}
  Win32WindowSystem(const Win32WindowSystem&) = delete;
  Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

  void Show(Form& form) override;
  void ShowModal(Form& form) override;
  void Hide(Form& form) override;
  void Unload(Form& form) override;
  void ShowInformation(Form& owner, const char* text, const char* title) override;
  void EndProgram() override;

  // The report of an error that no step caught: a message box with the error icon, owned by
  // no window, that shows the error's number and description. Then the program ends.
  void ReportUnhandledError(const RaisedError& error);

  // Runs the message loop for as long as any form exists.
  void RunUntilLastWindowGone();

 private:
  // The engine's side of one form, from its first showing to its end. A form dismissed
  // unseen (the menu, on the prompt road) never pays for a window.
  struct LiveForm {
    Win32WindowSystem* engine = nullptr;
    Form* form = nullptr;  // null: a free slot
    HWND window = nullptr;
    HWND controls[kMaxControls] = {};
    ScopedFont defaultFont;
    ScopedFont ownFonts[kMaxControls];
    ScopedBitmap pictures[kMaxControls];
    HWND lastFocus = nullptr;
    int dpi = 96;
  };

  // Where a control goes, and what it shows, at the form's DPI: the font and picture are
  // made for it and not yet handed to it.
  struct ControlLook {
    PixelRect rect;  // from the container's client origin
    HFONT font;      // the form's default font, or ownFont
    ScopedFont ownFont;
    ScopedBitmap picture;
  };

  static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  LiveForm* FindByWindow(HWND window);
  void Release(LiveForm& live);
  void RegisterClasses();
  // The form's window and its controls; the error that kept one of them from being made.
  std::optional<RaisedError> MakeWindow(LiveForm& live);
  ControlLook LookOf(const LiveForm& live, std::size_t index) const;
  std::optional<RaisedError> BuildControls(LiveForm& live);
  static void Dress(LiveForm& live, std::size_t index, ControlLook& look);
  void SetDpi(LiveForm& live, int dpi);
  void ApplyDpi(LiveForm& live, int dpi);
  void SizeWindow(LiveForm& live);
  static int FocusedControl(const LiveForm& live, HWND focus);
  static void FocusControl(LiveForm& live, int index);
  static void RestoreFocus(LiveForm& live);
  bool PreTranslate(MSG& message);
  bool PumpMessage();
  LRESULT OnFormMessage(LiveForm& live, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(LiveForm& live, WPARAM wParam);

  HINSTANCE instance_;
  ATOM formClass_ = 0;
  FormSlots<LiveForm, kMaxForms> forms_;
};

}  // namespace kavrio
