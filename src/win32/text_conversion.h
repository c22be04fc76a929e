// Texts between the ANSI and UTF-16 calls.
#pragma once

#include <windows.h>

namespace kavrio {

// The launcher's own texts are Windows-1252 bytes, whatever the system's code page is.
inline constexpr UINT kTextCodePage = 1252;

// `text` (NUL-terminated, in codePage) as UTF-16 in out, cut to fit. Returns its length.
int ToUtf16(const char* text, UINT codePage, wchar_t* out, int outSize);

// A UTF-16 text in the ANSI code page, for the ANSI calls of Windows 95, 98 and ME. False
// (and out empty) when it does not fit or a character has no ANSI form: such a path would
// name another file.
bool ToAnsi(const wchar_t* text, char* out, int outSize);

// One of the launcher's texts as UTF-16, converted once, for the W calls.
template <int Size>
class WideText {
 public:
  explicit WideText(const char* text) : length_(ToUtf16(text, kTextCodePage, text_, Size)) {}
  const wchar_t* Get() const { return text_; }
  int Length() const { return length_; }

 private:
  wchar_t text_[Size];
  int length_;
};

}  // namespace kavrio
