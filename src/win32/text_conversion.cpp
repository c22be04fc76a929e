#include "win32/text_conversion.h"

namespace kavrio {

int ToUtf16(const char* text, UINT codePage, wchar_t* out, int outSize) {
  if (outSize <= 0) return 0;
  out[0] = L'\0';
  if (text == nullptr) return 0;
  // Cut at a whole character: the longest prefix that fits.
  int length = lstrlenA(text);
  int written = 0;
  while (length > 0 &&
         (written = MultiByteToWideChar(codePage, 0, text, length, out, outSize - 1)) == 0) {
    --length;
  }
  out[written] = L'\0';
  return written;
}

bool ToAnsi(const wchar_t* text, char* out, int outSize) {
  if (outSize <= 0) return false;
  BOOL lossy = FALSE;
  const int written =
      WideCharToMultiByte(CP_ACP, 0, text, -1, out, outSize, nullptr, &lossy);
  if (written == 0 || lossy) {
    out[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace kavrio
