#include "windows/win32_window_system.h"

#include <windows.h>

#include "resources/resource_ids.h"
#include "windows/form_layout.h"
#include "windows/win32_fonts.h"
#include "windows/win32_pictures.h"

namespace kavrio {

namespace {

constexpr char kFormClass[] = "KavrioForm";
constexpr char kFrameClass[] = "KavrioFrame";
constexpr std::size_t kMaxForms = 4;
constexpr std::size_t kMaxControls = 16;
constexpr UINT kWmDpiChanged = 0x02E0;
// Fixed single border: a caption with the system menu and close box, no sizing frame, no
// minimise or maximise box.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = 0;

// The engine's side of one live window.
struct LiveForm {
  Form* form;
  HWND window;
  HWND controls[kMaxControls];
  HFONT defaultFont;
  HFONT ownFonts[kMaxControls];
  HBITMAP pictures[kMaxControls];
  HWND lastFocus;
  int dpi;
  bool controlsBuilt;
  bool shownBefore;
};

LiveForm g_forms[kMaxForms];
int g_liveForms = 0;
HINSTANCE g_instance = nullptr;

// ---- Calls newer than Windows 98, found at run time -------------------------------------

template <class Function>
Function User32Function(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

int WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow && window) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

void AdjustForDpi(RECT* rect, int dpi) {
  using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = User32Function<AdjustFn>("AdjustWindowRectExForDpi");
  if (!adjustForDpi || !adjustForDpi(rect, kFormStyle, FALSE, kFormExStyle, dpi)) {
    AdjustWindowRectEx(rect, kFormStyle, FALSE, kFormExStyle);
  }
}

// ---- Bookkeeping --------------------------------------------------------------------------

LiveForm* Live(Form& form) { return static_cast<LiveForm*>(form.native); }

LiveForm* LiveForWindow(HWND window) {
  for (LiveForm& live : g_forms) {
    if (live.form && live.window == window) return &live;
  }
  return nullptr;
}

int ControlAt(const LiveForm& live, HWND control) {
  for (std::size_t i = 0; i < live.form->Spec().controlCount; ++i) {
    if (control && live.controls[i] == control) return static_cast<int>(i);
  }
  return -1;
}

bool IsButton(const LiveForm& live, int index) {
  return index >= 0 && live.form->Spec().controls[index].kind == ControlKind::PushButton;
}

void ReleaseResources(LiveForm& live) {
  for (std::size_t i = 0; i < kMaxControls; ++i) {
    if (live.ownFonts[i]) DeleteObject(live.ownFonts[i]);
    if (live.pictures[i]) DeleteObject(live.pictures[i]);
    live.ownFonts[i] = nullptr;
    live.pictures[i] = nullptr;
  }
  if (live.defaultFont) DeleteObject(live.defaultFont);
  live.defaultFont = nullptr;
}

// ---- Layout -------------------------------------------------------------------------------

SIZE TextExtent(HWND control, HFONT font, const char* text) {
  SIZE extent = {0, 0};
  HDC dc = GetDC(control);
  HGDIOBJ previous = SelectObject(dc, font);
  GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  extent.cy = metrics.tmHeight;
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return extent;
}

// Places every control for `dpi`: twips become pixels at that DPI, and the fonts and
// pictures are made for it.
void PlaceControls(LiveForm& live, int dpi) {
  const FormSpec& spec = live.form->Spec();
  live.defaultFont = CreateFormFont(kDefaultFont, dpi);
  for (std::size_t i = 0; i < spec.controlCount; ++i) {
    const ControlSpec& control = spec.controls[i];
    HWND window = live.controls[i];
    PixelRect rect = ControlPixels(control, dpi);
    HFONT font = live.defaultFont;
    if (control.font) font = live.ownFonts[i] = CreateFormFont(*control.font, dpi);
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    if (control.kind == ControlKind::AutoSizeLabel) {
      const SIZE extent = TextExtent(window, font, control.text);
      rect.width = extent.cx;
      rect.height = extent.cy;
    } else if (control.kind == ControlKind::Picture) {
      live.pictures[i] = LoadFormPicture(g_instance, control.pictureId, rect.width, rect.height);
      SendMessageA(window, STM_SETIMAGE, IMAGE_BITMAP,
                   reinterpret_cast<LPARAM>(live.pictures[i]));
    }
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.width, rect.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// Lays the window out for `dpi`: its size, and its controls once they exist.
void ApplyLayout(LiveForm& live, int dpi) {
  ReleaseResources(live);
  live.dpi = dpi;
  if (live.controlsBuilt) PlaceControls(live, dpi);
  const FormSpec& spec = live.form->Spec();
  RECT frame = {0, 0, TwipsToPixels(spec.clientWidth, dpi), TwipsToPixels(spec.clientHeight, dpi)};
  AdjustForDpi(&frame, dpi);
  SetWindowPos(live.window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(live.window, nullptr, TRUE);
}

void CentreOnScreen(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- Keyboard -----------------------------------------------------------------------------

void FocusControl(LiveForm& live, int index) {
  if (index < 0) return;
  live.lastFocus = live.controls[index];
  SetFocus(live.lastFocus);
}

void RestoreFocus(LiveForm& live) {
  const int remembered = ControlAt(live, live.lastFocus);
  FocusControl(live, remembered >= 0 ? remembered : NextInFocusOrder(live.form->Spec(), -1, false));
}

// Enter and Space press the focused button only; Esc (IDCANCEL) does nothing.
void PressFocusedButton(LiveForm& live) {
  const int focused = ControlAt(live, GetFocus());
  if (IsButton(live, focused)) live.form->OnPress(static_cast<std::size_t>(focused));
}

// Tab follows the table's focus order; the dialog manager does the rest (access keys,
// Enter, Space).
bool PreTranslate(MSG& message) {
  HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  LiveForm* live = root ? LiveForWindow(root) : nullptr;
  if (!live) return false;
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB) {
    const bool backwards = GetKeyState(VK_SHIFT) < 0;
    FocusControl(*live, NextInFocusOrder(live->form->Spec(), ControlAt(*live, GetFocus()), backwards));
    return true;
  }
  return IsDialogMessageA(root, &message) != FALSE;
}

// Waits for one message and handles it. False once WM_QUIT has arrived (it is posted again,
// so that an outer loop sees it too).
bool PumpMessage() {
  MSG message;
  const BOOL got = GetMessageA(&message, nullptr, 0, 0);
  if (got <= 0) {
    PostQuitMessage(static_cast<int>(message.wParam));
    return false;
  }
  if (!PreTranslate(message)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

// ---- Window procedures --------------------------------------------------------------------

LRESULT SystemColours(HDC dc) {
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

// A frame: an etched rectangle that holds other controls and passes their notifications on
// to the window.
LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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

LRESULT OnCommand(LiveForm& live, WPARAM wParam) {
  const int id = LOWORD(wParam);
  if (id == IDOK) {
    PressFocusedButton(live);
  } else if (HIWORD(wParam) == BN_CLICKED && id >= kFirstControlId) {
    const int index = id - kFirstControlId;
    if (index < static_cast<int>(live.form->Spec().controlCount) && IsButton(live, index)) {
      live.form->OnPress(static_cast<std::size_t>(index));
    }
  }
  return 0;  // The form may be gone by now: touch nothing more.
}

void OnDestroyed(LiveForm& live) {
  ReleaseResources(live);
  live.form->native = nullptr;
  live = LiveForm{};
  --g_liveForms;
  // Wakes the message loop so that it sees whether any window is left.
  PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* live = static_cast<LiveForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    live->window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(live));
  }
  auto* live = reinterpret_cast<LiveForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!live) return DefWindowProcA(window, message, wParam, lParam);

  switch (message) {
    case WM_COMMAND:
      return OnCommand(*live, wParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SystemColours(reinterpret_cast<HDC>(wParam));
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (ControlAt(*live, GetFocus()) >= 0) live->lastFocus = GetFocus();
      } else {
        RestoreFocus(*live);
      }
      return 0;
    case WM_SETFOCUS:
      RestoreFocus(*live);
      return 0;
    case kWmDpiChanged: {
      ApplyLayout(*live, HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      OnDestroyed(*live);
      return DefWindowProcA(window, message, wParam, lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void RegisterClasses() {
  static bool registered = false;
  if (registered) return;
  registered = true;

  WNDCLASSEXA form = {};
  form.cbSize = sizeof form;
  form.lpfnWndProc = FormProc;
  form.hInstance = g_instance;
  form.hIcon = LoadIconA(g_instance, MAKEINTRESOURCEA(kIconLauncher));
  form.hIconSm = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(kIconLauncher),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
  form.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = kFormClass;
  RegisterClassExA(&form);

  WNDCLASSEXA frame = {};
  frame.cbSize = sizeof frame;
  frame.lpfnWndProc = FrameProc;
  frame.hInstance = g_instance;
  frame.hCursor = form.hCursor;
  frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frame.lpszClassName = kFrameClass;
  RegisterClassExA(&frame);
}

struct ControlClass {
  const char* className;
  DWORD style;
  DWORD exStyle;
};

ControlClass ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton:
      return {"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::Frame:
      return {kFrameClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case ControlKind::WrappingLabel:
      return {"STATIC", SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::AutoSizeLabel:
      return {"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0};
    case ControlKind::Picture:
      return {"STATIC", SS_BITMAP, 0};
  }
  return {"STATIC", 0, 0};
}

// The controls are made when the window is first shown: a window that is dismissed unseen
// (the menu, on the prompt road) never pays for them.
void BuildControls(LiveForm& live) {
  if (live.controlsBuilt) return;
  live.controlsBuilt = true;
  const FormSpec& spec = live.form->Spec();
  for (std::size_t i = 0; i < spec.controlCount; ++i) {
    const ControlSpec& control = spec.controls[i];
    const ControlClass type = ClassOf(control.kind);
    HWND parent = control.container == kNoContainer ? live.window : live.controls[control.container];
    live.controls[i] = CreateWindowExA(
        type.exStyle, type.className, control.text,
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | type.style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)), g_instance, nullptr);
  }
  // Front to back as in the table: each control goes just behind the sibling listed before it.
  for (std::size_t i = 0; i < spec.controlCount; ++i) {
    const int front = SiblingInFront(spec, i);
    SetWindowPos(live.controls[i], front >= 0 ? live.controls[front] : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  ApplyLayout(live, live.dpi);
  // Access-key underlines and focus rectangles show from the start, not only once the
  // keyboard has been used.
  SendMessageA(live.window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL | UISF_HIDEFOCUS),
               0);
}

}  // namespace

Win32WindowSystem::Win32WindowSystem(void* instance) {
  g_instance = static_cast<HINSTANCE>(instance);
}

void Win32WindowSystem::Create(Form& form) {
  // A table longer than the engine's arrays is a programming error: no window is made.
  if (form.native || form.Spec().controlCount > kMaxControls) return;
  RegisterClasses();
  LiveForm* slot = nullptr;
  for (LiveForm& live : g_forms) {
    if (!live.form) {
      slot = &live;
      break;
    }
  }
  if (!slot) return;
  slot->form = &form;
  HWND window = CreateWindowExA(kFormExStyle, kFormClass, form.Spec().title, kFormStyle,
                                CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, g_instance,
                                slot);
  if (!window) {
    *slot = LiveForm{};
    return;
  }
  form.native = slot;
  ++g_liveForms;
  ApplyLayout(*slot, WindowDpi(window));
}

void Win32WindowSystem::Show(Form& form) {
  Create(form);
  LiveForm* live = Live(form);
  if (!live) return;
  BuildControls(*live);
  if (!live->shownBefore) {
    CentreOnScreen(live->window);
    live->shownBefore = true;
  }
  ShowWindow(live->window, SW_SHOW);
  SetForegroundWindow(live->window);
  RestoreFocus(*live);
  UpdateWindow(live->window);
}

void Win32WindowSystem::ShowModal(Form& form) {
  Show(form);
  while (form.native && IsWindowVisible(Live(form)->window) && PumpMessage()) {
  }
}

void Win32WindowSystem::Hide(Form& form) {
  if (LiveForm* live = Live(form)) ShowWindow(live->window, SW_HIDE);
}

void Win32WindowSystem::Unload(Form& form) {
  if (LiveForm* live = Live(form)) DestroyWindow(live->window);
}

void Win32WindowSystem::ShowInformation(Form& owner, const char* text, const char* title) {
  LiveForm* live = Live(owner);
  MessageBoxA(live ? live->window : nullptr, text, title, MB_OK | MB_ICONINFORMATION);
}

void Win32WindowSystem::EndProgram() { ExitProcess(0); }

void Win32WindowSystem::RunUntilLastWindowGone() {
  while (g_liveForms > 0 && PumpMessage()) {
  }
}

}  // namespace kavrio
