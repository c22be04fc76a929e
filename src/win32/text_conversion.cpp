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

}  // namespace kavrio
