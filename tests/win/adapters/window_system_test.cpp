// The form engine on the real window system: what a change of DPI does to the GDI objects
// that the controls hold.
#include "windows/win32_window_system.h"

#include <gtest/gtest.h>

#include <vector>

#include "forms/frm_aplicacao.h"
#include "win32/run_time_calls.h"

namespace kavrio {
namespace {

// The business window's table (fonts of its own, the default font, a picture), no handlers.
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
bool Deleted(HGDIOBJ object) { return object && GetObjectType(object) == 0; }

// The fonts and pictures that were deleted while a control still held them, as seen when the
// control is handed the next one.
int g_heldDeleted = 0;
LRESULT CALLBACK CountHeldDeleted(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == WM_SETFONT) {
    g_heldDeleted += Deleted(FontOf(sent->hwnd));
  } else if (code == HC_ACTION && sent->message == STM_SETIMAGE) {
    g_heldDeleted += Deleted(PictureOf(sent->hwnd));
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
  std::vector<HGDIOBJ> oldFonts;
  EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&controls));
  HWND picture = nullptr;
  for (HWND control : controls) {
    if (FontOf(control)) oldFonts.push_back(FontOf(control));
    if (PictureOf(control)) picture = control;
  }
  ASSERT_NE(picture, nullptr);
  // The control shows a copy of its own, as it does of a bitmap with alpha; the next
  // STM_SETIMAGE hands it back.
  HBITMAP copy = CreateBitmap(4, 4, 1, 32, nullptr);
  SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(copy));

  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountHeldDeleted, nullptr, GetCurrentThreadId());
  RECT suggested;
  GetWindowRect(window, &suggested);
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  UnhookWindowsHookEx(hook);

  EXPECT_EQ(g_heldDeleted, 0) << "a control held a deleted font or picture";
  EXPECT_TRUE(Deleted(copy)) << "the control's copy was kept";
  for (HGDIOBJ font : oldFonts) EXPECT_TRUE(Deleted(font)) << "an old font was kept";
  windows.Unload(form);
}

}  // namespace
}  // namespace kavrio
