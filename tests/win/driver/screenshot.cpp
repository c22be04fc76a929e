// A window's on-screen pixels, with its frame and caption, saved as a 24-bit BMP.
#include <vector>

#include "driver.h"
#include "win32/scoped.h"
#include "win32/scoped_handle.h"

namespace launcher_driver {

namespace {

struct Capture {
  BITMAPINFOHEADER header = {};
  std::vector<BYTE> pixels;  // bottom-up rows, each padded to 4 bytes
};

// Copies the screen's pixels under the window; "" or the call that failed.
std::wstring CaptureWindow(HWND window, Capture& capture) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return CallFailed(L"GetWindowRect");
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  const kavrio::ScopedGetDC screen(nullptr);
  if (!screen) return CallFailed(L"GetDC");
  const kavrio::ScopedMemoryDC memory(CreateCompatibleDC(screen));
  if (!memory) return CallFailed(L"CreateCompatibleDC");
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const kavrio::ScopedBitmap bitmap(
      CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return CallFailed(L"CreateDIBSection");
  {
    const kavrio::ScopedSelectObject selected(memory.Get(), bitmap.Get());
    if (!BitBlt(memory.Get(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY)) {
      return CallFailed(L"BitBlt");
    }
    GdiFlush();
  }
  const DWORD stride = ((width * 3 + 3) & ~3);
  capture.header = info.bmiHeader;
  const BYTE* first = static_cast<const BYTE*>(bits);
  capture.pixels.assign(first, first + stride * height);
  return L"";
}

std::wstring WriteAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  if (!WriteFile(file, data, size, &written, nullptr)) return CallFailed(L"WriteFile");
  return written == size ? L"" : L"WriteFile wrote " + std::to_wstring(written) + L" of " +
                                     std::to_wstring(size) + L" bytes";
}

std::wstring WriteBitmapFile(const std::wstring& path, const Capture& capture) {
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(capture.pixels.size());
  const kavrio::ScopedHandle out(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!out) return CallFailed(L"CreateFileW");
  std::wstring failure = WriteAll(out.Get(), &file, sizeof file);
  if (failure.empty()) failure = WriteAll(out.Get(), &capture.header, sizeof capture.header);
  if (failure.empty()) {
    failure = WriteAll(out.Get(), capture.pixels.data(), static_cast<DWORD>(capture.pixels.size()));
  }
  return failure;
}

}  // namespace

std::wstring SaveScreenshot(HWND window, const wchar_t* name) {
  Capture capture;
  std::wstring failure = CaptureWindow(window, capture);
  if (!failure.empty()) return failure;
  const std::wstring path = ScreenshotFolder() + L"\\" + name + L".bmp";
  failure = win_tier::MakeFoldersFor(path);
  if (failure.empty()) failure = WriteBitmapFile(path, capture);
  // A file cut short is no screenshot: nothing is left that could be listed as one.
  if (!failure.empty()) DeleteFileW(path.c_str());
  return failure;
}

}  // namespace launcher_driver
