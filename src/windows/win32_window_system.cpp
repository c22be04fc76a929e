#include "windows/win32_window_system.h"

#include <iterator>
#include <utility>

#include "resources/resource_ids.h"
#include "win32/run_time_calls.h"
#include "win32/text_calls.h"
#include "windows/win32_fonts_and_pictures.h"

namespace kavrio {

const char kFormClassName[] = "KavrioForm";

namespace {

constexpr char kFrameClassName[] = "KavrioFrame";
// Fixed single border: a caption with the system menu and close box, no sizing frame, no
// minimise or maximise box.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = 0;

// One line of `text` in `font`: its width, and the font's line height.
SIZE LineExtent(HFONT font, const char* text) {
  const ScopedGetDC screen(nullptr);
  const ScopedSelectObject selected(screen, font);
  SIZE extent = TextExtent(screen, text);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(screen, &metrics);
  extent.cy = metrics.tmHeight;
  return extent;
}

// ---- The real DPI --------------------------------------------------------------------------

int WindowDpi(HWND window) {
  if (Calls().GetDpiForWindow && window) {
    const UINT dpi = Calls().GetDpiForWindow(window);
    if (dpi) return static_cast<int>(dpi);
  }
  const ScopedGetDC screen(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  return dpi > 0 ? dpi : 96;
}

// The window's outer size for the form's client area at `dpi`.
SIZE FrameSize(const FormSpec& spec, int dpi) {
  RECT frame = {0, 0, TwipsToPixels(spec.clientWidth, dpi), TwipsToPixels(spec.clientHeight, dpi)};
  const auto adjustForDpi = Calls().AdjustWindowRectExForDpi;
  if (!adjustForDpi || !adjustForDpi(&frame, kFormStyle, FALSE, kFormExStyle, dpi)) {
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

void CentreOnScreen(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- Controls ------------------------------------------------------------------------------

// The window class and styles of each kind of control, in ControlKind's order.
struct ControlClass {
  const char* className;
  DWORD style;
  DWORD exStyle;
} constexpr kClassOf[] = {
    {"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0},                 // PushButton
    {kFrameClassName, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT},  // Frame
    {"STATIC", SS_LEFT | SS_NOPREFIX, 0},                      // WrappingLabel
    {"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0},            // AutoSizeLabel
    {"STATIC", SS_BITMAP, 0},                                  // Picture
};
static_assert(std::size(kClassOf) == static_cast<std::size_t>(ControlKind::Picture) + 1);

// What the report of a window or control that could not be made says.
RaisedError CreateWindowFailed(const FormSpec& spec) {
  return {static_cast<std::int32_t>(GetLastError()), spec.name, "CreateWindowEx"};
}

LRESULT SystemColours(HDC dc) {
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace

// ---- Bookkeeping -----------------------------------------------------------------------------

// The live form whose window is `window`, if it is one of ours (message boxes and other
// windows are not).
Win32WindowSystem::LiveForm* Win32WindowSystem::FindByWindow(HWND window) {
  if (!window || !formClass_ || GetClassWord(window, GCW_ATOM) != formClass_) return nullptr;
  return reinterpret_cast<LiveForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void Win32WindowSystem::Release(LiveForm& live) {
  // Wakes the message loop so that it sees whether any form is left.
  if (forms_.Release(live)) PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void Win32WindowSystem::RegisterClasses() {
  if (formClass_) return;
  WNDCLASSEXA form = {};
  form.cbSize = sizeof form;
  form.lpfnWndProc = FormProc;
  form.hInstance = instance_;
  form.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(kIconLauncher));
  form.hIconSm = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(kIconLauncher),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
  form.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = kFormClassName;
  formClass_ = RegisterClassExA(&form);

  WNDCLASSEXA frame = {};
  frame.cbSize = sizeof frame;
  frame.lpfnWndProc = FrameProc;
  frame.hInstance = instance_;
  frame.hCursor = form.hCursor;
  frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frame.lpszClassName = kFrameClassName;
  RegisterClassExA(&frame);
}

// ---- Layout ----------------------------------------------------------------------------------

// Twips become pixels at the form's DPI; fonts and pictures are made for it.
Win32WindowSystem::ControlLook Win32WindowSystem::LookOf(const LiveForm& live,
                                                         std::size_t index) const {
  const ControlSpec& control = live.form->Spec().controls[index];
  ControlLook look = {ControlPixels(control, live.dpi), live.defaultFont.Get(), {}, {}};
  if (control.font) {
    look.ownFont.Reset(CreateFormFont(*control.font, live.dpi));
    look.font = look.ownFont.Get();
  }
  if (control.kind == ControlKind::AutoSizeLabel) {
    const SIZE extent = LineExtent(look.font, control.text);
    look.rect.width = extent.cx;
    look.rect.height = extent.cy;
  } else if (control.kind == ControlKind::Picture) {
    look.picture.Reset(
        LoadFormPicture(instance_, control.pictureId, look.rect.width, look.rect.height));
  }
  return look;
}

// Hands the control its new font and picture first, and only then deletes the ones that it
// showed: a control never holds a deleted GDI object.
void Win32WindowSystem::Dress(LiveForm& live, std::size_t index, ControlLook& look) {
  HWND control = live.controls[index];
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(look.font), FALSE);
  live.ownFonts[index] = std::move(look.ownFont);
  if (!look.picture.Get()) return;  // a picture that could not be made leaves the old one
  // STM_SETIMAGE answers the bitmap that the control showed. One that is not ours is a copy
  // that the control made (of a bitmap with alpha, from Windows XP on): ours to delete.
  const auto shown = reinterpret_cast<HBITMAP>(SendMessageA(
      control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(look.picture.Get())));
  if (shown && shown != live.pictures[index].Get()) DeleteObject(shown);
  live.pictures[index] = std::move(look.picture);
}

// Each control is made once, at its final size, with its font and picture. A control that
// cannot be made fails the whole form: a window is never shown with one missing.
std::optional<RaisedError> Win32WindowSystem::BuildControls(LiveForm& live) {
  const FormSpec& spec = live.form->Spec();
  for (std::size_t i = 0; i < spec.controlCount; ++i) {
    const ControlSpec& control = spec.controls[i];
    const ControlClass& type = kClassOf[static_cast<std::size_t>(control.kind)];
    ControlLook look = LookOf(live, i);
    HWND parent = control.container == kNoContainer ? live.window : live.controls[control.container];
    HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i));
    HWND window = CreateWindowWithText(
        type.exStyle, type.className, control.text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | type.style,
        look.rect.left, look.rect.top, look.rect.width, look.rect.height, parent, id, instance_,
        nullptr);
    // GetLastError is read before `look` lets go of its font and picture.
    if (!window) return CreateWindowFailed(spec);
    live.controls[i] = window;
    Dress(live, i, look);
  }
  // Front to back as in the table: each control goes just behind the sibling listed before it.
  for (std::size_t i = 0; i < spec.controlCount; ++i) {
    const int front = SiblingInFront(spec, i);
    SetWindowPos(live.controls[i], front >= 0 ? live.controls[front] : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return std::nullopt;
}

// The window's outer size for its client area at the form's DPI.
void Win32WindowSystem::SizeWindow(LiveForm& live) {
  const SIZE size = FrameSize(live.form->Spec(), live.dpi);
  SetWindowPos(live.window, nullptr, 0, 0, size.cx, size.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The DPI that the form is laid out for, and its default font at that DPI.
void Win32WindowSystem::SetDpi(LiveForm& live, int dpi) {
  live.dpi = dpi;
  live.defaultFont.Reset(CreateFormFont(kDefaultFont, dpi));
}

// The window moved to a screen of another DPI: everything is laid out again for it.
void Win32WindowSystem::ApplyDpi(LiveForm& live, int dpi) {
  // Deleted on return, once no control holds it any more.
  const ScopedFont oldDefaultFont(live.defaultFont.Release());
  SetDpi(live, dpi);
  const FormSpec& spec = live.form->Spec();
  for (std::size_t i = 0; i < spec.controlCount; ++i) {
    ControlLook look = LookOf(live, i);
    Dress(live, i, look);
    SetWindowPos(live.controls[i], nullptr, look.rect.left, look.rect.top, look.rect.width,
                 look.rect.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SizeWindow(live);
  InvalidateRect(live.window, nullptr, TRUE);
}

std::optional<RaisedError> Win32WindowSystem::MakeWindow(LiveForm& live) {
  RegisterClasses();
  // Made at its size for the screen's DPI, centred; made so again only where the window's
  // own DPI (its monitor's) is another.
  const int screenDpi = WindowDpi(nullptr);
  const SIZE size = FrameSize(live.form->Spec(), screenDpi);
  HWND window = CreateWindowExA(kFormExStyle, kFormClassName, live.form->Spec().title, kFormStyle,
                                (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2, size.cx, size.cy,
                                nullptr, nullptr, instance_, &live);
  if (!window) return CreateWindowFailed(live.form->Spec());
  SetDpi(live, WindowDpi(window));
  if (live.dpi != screenDpi) {
    SizeWindow(live);
    CentreOnScreen(window);
  }
  if (std::optional<RaisedError> failed = BuildControls(live)) return failed;
  // Access-key underlines and focus rectangles show from the start, not only once the
  // keyboard has been used.
  SendMessageA(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL | UISF_HIDEFOCUS), 0);
  return std::nullopt;
}

// ---- Keyboard --------------------------------------------------------------------------------

int Win32WindowSystem::FocusedControl(const LiveForm& live, HWND focus) {
  for (std::size_t i = 0; i < live.form->Spec().controlCount; ++i) {
    if (focus && live.controls[i] == focus) return static_cast<int>(i);
  }
  return -1;
}

void Win32WindowSystem::FocusControl(LiveForm& live, int index) {
  if (index < 0) return;
  live.lastFocus = live.controls[index];
  SetFocus(live.lastFocus);
}

void Win32WindowSystem::RestoreFocus(LiveForm& live) {
  const int remembered = FocusedControl(live, live.lastFocus);
  FocusControl(live, remembered >= 0 ? remembered : NextInFocusOrder(live.form->Spec(), -1, false));
}

// Tab follows the table's focus order; the dialog manager does the rest (access keys,
// Enter, Space).
bool Win32WindowSystem::PreTranslate(MSG& message) {
  HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  LiveForm* live = FindByWindow(root);
  if (!live) return false;
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB) {
    const bool backwards = GetKeyState(VK_SHIFT) < 0;
    FocusControl(*live, NextInFocusOrder(live->form->Spec(), FocusedControl(*live, GetFocus()),
                                         backwards));
    return true;
  }
  return IsDialogMessageA(root, &message) != FALSE;
}

// Waits for one message and handles it. False once WM_QUIT has arrived (it is posted again,
// so that an outer loop sees it too), or GetMessage has failed.
bool Win32WindowSystem::PumpMessage() {
  MSG message;
  const BOOL got = GetMessageA(&message, nullptr, 0, 0);
  if (got <= 0) {
    // -1: the call failed and filled in nothing; the loops end all the same.
    PostQuitMessage(got == 0 ? static_cast<int>(message.wParam) : 0);
    return false;
  }
  if (!PreTranslate(message)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

// ---- Window procedures -----------------------------------------------------------------------

// A frame: an etched rectangle that holds other controls and passes their notifications on
// to the window.
LRESULT CALLBACK Win32WindowSystem::FrameProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT rect;
      GetClientRect(window, &rect);
      DrawEdge(dc, &rect, EDGE_ETCHED, BF_RECT);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SystemColours(reinterpret_cast<HDC>(wParam));
    case WM_COMMAND:
      return SendMessageA(GetAncestor(window, GA_ROOT), message, wParam, lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// Binds the form's state on WM_NCCREATE and hands every later message to it.
LRESULT CALLBACK Win32WindowSystem::FormProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* live = static_cast<LiveForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    live->window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(live));
  }
  auto* live = reinterpret_cast<LiveForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!live) return DefWindowProcA(window, message, wParam, lParam);
  return live->engine->OnFormMessage(*live, message, wParam, lParam);
}

void Win32WindowSystem::OnCommand(LiveForm& live, WPARAM wParam) {
  const int id = LOWORD(wParam);
  // Enter and Space press the focused button only; Esc (IDCANCEL) does nothing.
  int pressed = -1;
  if (id == IDOK) {
    pressed = FocusedControl(live, GetFocus());
  } else if (HIWORD(wParam) == BN_CLICKED && id >= kFirstControlId) {
    pressed = id - kFirstControlId;
    if (pressed >= static_cast<int>(live.form->Spec().controlCount)) pressed = -1;
  }
  // The handler may end the form: nothing of it is touched afterwards.
  if (pressed >= 0 && live.form->Spec().controls[pressed].kind == ControlKind::PushButton) {
    live.form->OnPress(static_cast<std::size_t>(pressed));
  }
}

LRESULT Win32WindowSystem::OnFormMessage(LiveForm& live, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  HWND window = live.window;
  switch (message) {
    case WM_COMMAND:
      OnCommand(live, wParam);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SystemColours(reinterpret_cast<HDC>(wParam));
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (FocusedControl(live, GetFocus()) >= 0) live.lastFocus = GetFocus();
      } else {
        RestoreFocus(live);
      }
      return 0;
    case WM_SETFOCUS:
      RestoreFocus(live);
      return 0;
    case WM_DPICHANGED: {
      ApplyDpi(live, HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      Release(live);
      return DefWindowProcA(window, message, wParam, lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// ---- The window operations -------------------------------------------------------------------

void Win32WindowSystem::Show(Form& form) {
  // A table longer than the engine's arrays cannot be built (each table is also checked
  // where it is written).
  LiveForm* live = form.Spec().controlCount <= kMaxControls ? forms_.Reserve(form) : nullptr;
  if (!live) return;
  live->engine = this;
  if (!live->window) {
    if (const std::optional<RaisedError> failed = MakeWindow(*live)) {
      Unload(form);  // what was made of it goes unseen
      ReportUnhandledError(*failed);  // ends the program
      return;
    }
  }
  ShowWindow(live->window, SW_SHOW);
  SetForegroundWindow(live->window);
  RestoreFocus(*live);
  UpdateWindow(live->window);
}

void Win32WindowSystem::ShowModal(Form& form) {
  Show(form);
  for (LiveForm* live = forms_.Find(&form); live && live->window && IsWindowVisible(live->window);
       live = forms_.Find(&form)) {
    if (!PumpMessage()) break;
  }
}

void Win32WindowSystem::Hide(Form& form) {
  LiveForm* live = forms_.Find(&form);
  if (live && live->window) ShowWindow(live->window, SW_HIDE);
}

void Win32WindowSystem::Unload(Form& form) {
  LiveForm* live = forms_.Find(&form);
  if (!live) return;
  if (live->window) {
    DestroyWindow(live->window);  // WM_NCDESTROY releases the slot
  } else {
    Release(*live);
  }
}

void Win32WindowSystem::ShowInformation(Form& owner, const char* text, const char* title) {
  LiveForm* live = forms_.Find(&owner);
  ShowMessageBox(live ? live->window : nullptr, text, title, MB_OK | MB_ICONINFORMATION);
}

void Win32WindowSystem::ReportUnhandledError(const RaisedError& error) {
  char text[kMaxFormText];
  wsprintfA(text, "Ocorreu um erro inesperado e o programa será encerrado.\r\n\r\nErro %ld: %s",
            static_cast<long>(error.number), error.description);
  ShowMessageBox(nullptr, text, kFormTitle, MB_OK | MB_ICONERROR);
  EndProgram();
}

void Win32WindowSystem::EndProgram() { ExitProcess(0); }

void Win32WindowSystem::RunUntilLastWindowGone() {
  while (forms_.Held() > 0 && PumpMessage()) {
  }
}

}  // namespace kavrio
