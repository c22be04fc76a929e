#include "windows/win32_fonts_and_pictures.h"

#include "forms/bitmap_scaling.h"
#include "win32/scoped.h"

namespace kavrio {

namespace {

int Stride24(int width) { return (width * 3 + 3) & ~3; }

// A 24-bit, top-down DIB of width x height.
BITMAPINFO Rgb24(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// The resource's own pixels, kept as a DIB section (whatever the screen's depth), read as
// 24-bit rows by GetDIBits and resampled into a new DIB section of width x height.
HBITMAP ResampledPicture(HINSTANCE instance, int id, int width, int height) {
  const ScopedBitmap source(static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  BITMAP format = {};
  if (!source.Get() || !GetObjectA(source.Get(), sizeof format, &format)) return nullptr;
  const int sourceWidth = format.bmWidth, sourceHeight = format.bmHeight;
  BITMAPINFO info = Rgb24(sourceWidth, sourceHeight);
  const ScopedHeapBuffer pixels(static_cast<SIZE_T>(Stride24(sourceWidth)) * sourceHeight);
  const ScopedGetDC screen(nullptr);
  if (!pixels.Get() || GetDIBits(screen, source.Get(), 0, static_cast<UINT>(sourceHeight),
                                 pixels.Get(), &info, DIB_RGB_COLORS) != sourceHeight) {
    return nullptr;
  }
  info = Rgb24(width, height);
  void* bits = nullptr;
  HBITMAP result = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (result && bits) {
    ResampleRgb(pixels.Get(), sourceWidth, sourceHeight, Stride24(sourceWidth),
                static_cast<BYTE*>(bits), width, height, Stride24(width));
  }
  return result;
}

}  // namespace

HBITMAP LoadFormPicture(HINSTANCE instance, int id, int width, int height) {
  ScopedBitmap natural(static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0)));
  if (!natural.Get()) return nullptr;
  BITMAP info = {};
  GetObjectA(natural.Get(), sizeof info, &info);
  if (info.bmWidth == width && info.bmHeight == height) return natural.Release();
  return ResampledPicture(instance, id, width, height);
}

}  // namespace kavrio
