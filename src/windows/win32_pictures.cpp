#include "windows/win32_fonts_and_pictures.h"

#include "win32/scoped.h"
#include "forms/bitmap_scaling.h"

namespace kavrio {

namespace {

int Stride24(int width) { return (width * 3 + 3) & ~3; }

// Expands a palette-based (or 24-bit) DIB resource to 24-bit rows, top-down, BGR.
bool DecodeToBgr(const BITMAPINFOHEADER* header, DWORD resourceSize, BYTE* out) {
  const int width = header->biWidth;
  const int height = header->biHeight > 0 ? header->biHeight : -header->biHeight;
  const bool bottomUp = header->biHeight > 0;
  const int bits = header->biBitCount;
  if (header->biCompression != BI_RGB || (bits != 8 && bits != 24)) return false;
  const DWORD colours = bits == 8 ? (header->biClrUsed ? header->biClrUsed : 256) : 0;
  const auto* palette = reinterpret_cast<const RGBQUAD*>(
      reinterpret_cast<const BYTE*>(header) + header->biSize);
  const BYTE* pixels = reinterpret_cast<const BYTE*>(palette + colours);
  const int sourceStride = ((width * bits + 31) / 32) * 4;
  const DWORD needed = header->biSize + colours * sizeof(RGBQUAD) +
                       static_cast<DWORD>(sourceStride) * static_cast<DWORD>(height);
  if (needed > resourceSize) return false;
  const int stride = Stride24(width);
  for (int y = 0; y < height; ++y) {
    const BYTE* row = pixels + (bottomUp ? height - 1 - y : y) * sourceStride;
    BYTE* target = out + y * stride;
    for (int x = 0; x < width; ++x) {
      if (bits == 24) {
        target[x * 3 + 0] = row[x * 3 + 0];
        target[x * 3 + 1] = row[x * 3 + 1];
        target[x * 3 + 2] = row[x * 3 + 2];
      } else {
        const BYTE index = row[x];
        const RGBQUAD colour = index < colours ? palette[index] : RGBQUAD{0, 0, 0, 0};
        target[x * 3 + 0] = colour.rgbBlue;
        target[x * 3 + 1] = colour.rgbGreen;
        target[x * 3 + 2] = colour.rgbRed;
      }
    }
  }
  return true;
}

HBITMAP ResampledPicture(HINSTANCE instance, int id, int width, int height) {
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), RT_BITMAP);
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(instance, found);
  const auto* header = loaded ? static_cast<const BITMAPINFOHEADER*>(LockResource(loaded)) : nullptr;
  const DWORD size = SizeofResource(instance, found);
  if (!header || size < sizeof(BITMAPINFOHEADER) || header->biWidth <= 0) return nullptr;

  const int sourceWidth = header->biWidth;
  const int sourceHeight = header->biHeight > 0 ? header->biHeight : -header->biHeight;
  const ScopedHeapBuffer decoded(static_cast<SIZE_T>(Stride24(sourceWidth)) * sourceHeight);
  if (!decoded.Get() || !DecodeToBgr(header, size, decoded.Get())) return nullptr;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, as decoded
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP result = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (result && bits) {
    ResampleRgb(decoded.Get(), sourceWidth, sourceHeight, Stride24(sourceWidth),
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
