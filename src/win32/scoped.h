// Owners of the GDI and heap resources that the engine would otherwise pair by hand: each
// releases what it holds when it goes out of scope; a null one holds nothing. (Process
// handles are owned through their port: OwnedHandle in launch/process_port.h.)
#pragma once

#include <windows.h>

namespace kavrio {

// A device context from GetDC, given back with ReleaseDC.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~ScopedGetDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  operator HDC() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a DC; the one it replaced goes back in at the end.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A GDI object that we made (a font, a bitmap), deleted with DeleteObject.
template <class Handle>
class ScopedGdiObject {
 public:
  ScopedGdiObject() = default;
  explicit ScopedGdiObject(Handle handle) : handle_(handle) {}
  ~ScopedGdiObject() { Reset(); }
  ScopedGdiObject(const ScopedGdiObject&) = delete;
  ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;
  ScopedGdiObject(ScopedGdiObject&& other) noexcept : handle_(other.Release()) {}
  ScopedGdiObject& operator=(ScopedGdiObject&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Handle Get() const { return handle_; }
  void Reset(Handle handle = nullptr) {
    if (handle_ && handle_ != handle) DeleteObject(handle_);
    handle_ = handle;
  }
  Handle Release() {
    Handle handle = handle_;
    handle_ = nullptr;
    return handle;
  }

 private:
  Handle handle_ = nullptr;
};

using ScopedFont = ScopedGdiObject<HFONT>;
using ScopedBitmap = ScopedGdiObject<HBITMAP>;

// A block from the process heap (HeapAlloc), freed with HeapFree.
class ScopedHeapBuffer {
 public:
  explicit ScopedHeapBuffer(SIZE_T size) : data_(HeapAlloc(GetProcessHeap(), 0, size)) {}
  ~ScopedHeapBuffer() {
    if (data_) HeapFree(GetProcessHeap(), 0, data_);
  }
  ScopedHeapBuffer(const ScopedHeapBuffer&) = delete;
  ScopedHeapBuffer& operator=(const ScopedHeapBuffer&) = delete;
  BYTE* Get() const { return static_cast<BYTE*>(data_); }

 private:
  void* data_;
};

}  // namespace kavrio
