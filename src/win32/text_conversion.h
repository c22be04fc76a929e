// Texts between the forms that the W and A calls take: the launcher's own texts are
// Windows-1252 bytes, its paths UTF-16, whatever the system's code page is.
#pragma once

#include <windows.h>

#include "common/limits.h"

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

// A UTF-16 path for an ANSI call of Windows 95 to ME; null stays null. Ok() is false when the
// path does not fit or has a character with no ANSI form: it would name another file.
class AnsiPath {
 public:
  explicit AnsiPath(const wchar_t* path);
  bool Ok() const { return ok_; }
  char* Get() { return isNull_ ? nullptr : text_; }

 private:
  char text_[2 * kMaxPath + 4];  // a double-byte code page takes up to two bytes a character
  bool isNull_;
  bool ok_;
};

// An ANSI text of `length` bytes as UTF-16 in out, as the W calls answer: its length without
// the NUL, or outSize or more when it does not fit (then nothing is written), or 0.
UINT Utf16FromAnsi(const char* ansi, UINT length, wchar_t* out, UINT outSize);

}  // namespace kavrio
