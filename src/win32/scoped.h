// Owners of the GDI and heap resources that the engine would otherwise pair by hand: each
// releases what it holds when it goes out of scope; a null one holds nothing. (Process
// handles are owned through their port: OwnedHandle in launch/process_port.h; the tools'
// kernel handles, keys, memory DCs and locks by scoped_handle.h and its neighbours.)
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

// The owner of one handle: `Traits` names the handle type, what counts as holding one, and
// how it is given back. It can be moved, never copied.
template <class Traits>
class ScopedOwner {
 public:
  using Handle = typename Traits::Handle;

  ScopedOwner() = default;
  explicit ScopedOwner(Handle handle) : handle_(handle) {}
  ~ScopedOwner() { Reset(); }
  ScopedOwner(const ScopedOwner&) = delete;
  ScopedOwner& operator=(const ScopedOwner&) = delete;
  ScopedOwner(ScopedOwner&& other) noexcept : handle_(other.Release()) {}
  ScopedOwner& operator=(ScopedOwner&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return Traits::Holds(handle_); }
  // For a call that writes a new handle out: whatever was held is given back first.
  Handle* Receive() {
    Reset();
    return &handle_;
  }
  void Reset(Handle handle = nullptr) {
    if (Traits::Holds(handle_) && handle_ != handle) Traits::Close(handle_);
    handle_ = handle;
  }
  Handle Release() {
    const Handle handle = handle_;
    handle_ = nullptr;
    return handle;
  }

 private:
  Handle handle_ = nullptr;
};

// A GDI object that we made (a font, a bitmap), deleted with DeleteObject.
template <class GdiHandle>
struct GdiObjectTraits {
  using Handle = GdiHandle;
  static bool Holds(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) { DeleteObject(handle); }
};
template <class Handle>
using ScopedGdiObject = ScopedOwner<GdiObjectTraits<Handle>>;

// A handle given back by the call `CloseCall` (CloseHandle, RegCloseKey, DeleteDC, ...).
template <class HandleType, class Result, Result(WINAPI* CloseCall)(HandleType)>
struct ClosedBy {
  using Handle = HandleType;
  static bool Holds(Handle handle) {
    return handle && handle != reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);
  }
  static void Close(Handle handle) { CloseCall(handle); }
};

// A memory device context from CreateCompatibleDC, deleted with DeleteDC.
using ScopedMemoryDC = ScopedOwner<ClosedBy<HDC, BOOL, DeleteDC>>;

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
