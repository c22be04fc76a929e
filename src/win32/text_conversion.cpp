#include "win32/text_conversion.h"

namespace kavrio {

int Utf16FromWindows1252(const char* text, wchar_t* out, int outSize) {
  if (outSize <= 0) return 0;
  // One byte is one letter in code page 1252, so any prefix is whole letters.
  int length = text ? lstrlenA(text) : 0;
  if (length > outSize - 1) length = outSize - 1;
  const int written = length > 0 ? MultiByteToWideChar(1252, 0, text, length, out, length) : 0;
  out[written] = L'\0';
  return written;
}

AnsiPath::AnsiPath(const wchar_t* path) : isNull_(path == nullptr) {
  BOOL lossy = FALSE;
  ok_ = isNull_ || (WideCharToMultiByte(CP_ACP, 0, path, -1, text_, sizeof text_, nullptr,
                                        &lossy) > 0 &&
                    !lossy);
}

UINT Utf16FromAnsi(const char* ansi, UINT length, wchar_t* out, UINT outSize) {
  const int needed = MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(length), nullptr, 0);
  if (needed <= 0) return 0;
  const UINT wideLength = static_cast<UINT>(needed);
  if (wideLength >= outSize) return wideLength + 1;
  MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(length), out, needed);
  out[wideLength] = L'\0';
  return wideLength;
}

}  // namespace kavrio
