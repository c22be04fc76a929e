// The launcher's own texts for the UTF-16 calls. They are Windows-1252 bytes, whatever the
// system's code page is.
#pragma once

#include <windows.h>

namespace kavrio {

// `text` (Windows-1252, NUL-terminated) as UTF-16 in out, cut to fit. Returns its length.
int Utf16FromWindows1252(const char* text, wchar_t* out, int outSize);

// One of the launcher's texts as UTF-16, converted once, for the W calls.
template <int Size>
class WideText {
 public:
  explicit WideText(const char* text) : length_(Utf16FromWindows1252(text, text_, Size)) {}
  const wchar_t* Get() const { return text_; }
  int Length() const { return length_; }

 private:
  wchar_t text_[Size];
  int length_;
};

}  // namespace kavrio
