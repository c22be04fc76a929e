// The form engine on the real window system: what a change of DPI does to the GDI objects
// that the controls hold.
#include "windows/win32_window_system.h"

#include <gtest/gtest.h>

#include <map>

#include "forms/frm_aplicacao.h"
#include "win32/run_time_calls.h"

namespace kavrio {
namespace {

// The business window's table (own fonts, default font, a picture), with no handlers.
class StillForm final : public Form {
 public:
  StillForm() : Form(kFrmAplicacao) {}
  void OnPress(std::size_t) override {}
};

HGDIOBJ FontOf(HWND control) {
  return reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
}
HGDIOBJ PictureOf(HWND control) {
  return reinterpret_cast<HGDIOBJ>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
}
bool Alive(HGDIOBJ object) { return GetObjectType(object) != 0; }

// Each font or picture that a control was about to be given while it still held a deleted one.
int g_heldDeleted = 0;

LRESULT CALLBACK CheckWhatIsHeld(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == WM_SETFONT && FontOf(sent->hwnd)) {
    g_heldDeleted += Alive(FontOf(sent->hwnd)) ? 0 : 1;
  }
  if (code == HC_ACTION && sent->message == STM_SETIMAGE && PictureOf(sent->hwnd)) {
    g_heldDeleted += Alive(PictureOf(sent->hwnd)) ? 0 : 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK AddChild(HWND child, LPARAM children) {
  reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
  return TRUE;
}

TEST(WindowSystem, ADpiChangeHandsOverNewFontsAndPicturesBeforeDeletingTheOld) {
  FindRunTimeCalls();
  Win32WindowSystem windows(GetModuleHandleW(nullptr));
  StillForm form;
  windows.Show(form);
  HWND window = FindWindowA(kFormClassName, nullptr);
  ASSERT_NE(window, nullptr);
  std::vector<HWND> controls;
  EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&controls));
  std::map<HWND, HGDIOBJ> fontsBefore;
  HWND picture = nullptr;
  for (HWND control : controls) {
    fontsBefore[control] = FontOf(control);
    if (PictureOf(control)) picture = control;
  }
  ASSERT_NE(picture, nullptr);
  // As a picture control does with a bitmap that has alpha: it shows a copy of its own, which
  // the next STM_SETIMAGE hands back.
  HBITMAP copy = CreateBitmap(4, 4, 1, 32, nullptr);
  const auto ours = reinterpret_cast<HGDIOBJ>(
      SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(copy)));

  g_heldDeleted = 0;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CheckWhatIsHeld, nullptr, GetCurrentThreadId());
  RECT suggested;
  GetWindowRect(window, &suggested);
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  UnhookWindowsHookEx(hook);

  EXPECT_EQ(g_heldDeleted, 0) << "a control held a deleted font or picture";
  EXPECT_FALSE(Alive(copy)) << "the control's copy was not deleted";
  EXPECT_FALSE(Alive(ours));
  EXPECT_TRUE(Alive(PictureOf(picture)));
  for (const auto& [control, before] : fontsBefore) {
    if (!before) continue;
    EXPECT_FALSE(Alive(before)) << "an old font was kept";
    EXPECT_TRUE(Alive(FontOf(control)));
  }
  windows.Unload(form);
}

}  // namespace
}  // namespace kavrio
