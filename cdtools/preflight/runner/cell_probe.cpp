// What a program started after the preflight's set-up sees, for the runner to compare with
// its cell: the DPI of a new window, and every system colour. Written to standard output:
//
//   dpi 144
//   colour 15 000000      (element, COLORREF in hex)
//
// Exit 0 when all of it was written.
#include <windows.h>

#include <string>

#include "win32/scoped.h"

namespace {

// The DPI that a window made now is given, as the launcher's first window would be.
int NewWindowDpi() {
  HWND window = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr,
                                nullptr, nullptr);
  if (!window) return 0;
  int dpi = 0;
  {
    const kavrio::ScopedGetDC dc(window);
    if (dc) dpi = GetDeviceCaps(dc, LOGPIXELSY);
  }
  DestroyWindow(window);
  return dpi;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  const int dpi = NewWindowDpi();
  if (dpi == 0) return 1;
  std::string text = "dpi " + std::to_string(dpi) + "\n";
  for (int element = COLOR_SCROLLBAR; element <= COLOR_MENUBAR; ++element) {
    char line[32];
    wsprintfA(line, "colour %d %06lx\n", element, GetSysColor(element));
    text += line;
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(),
                            static_cast<DWORD>(text.size()), &written, nullptr);
  return ok && written == text.size() ? 0 : 1;
}
