// UTF-8 texts, as the tests' record files and the environment hold them, made wide.
#pragma once

#include <windows.h>

#include <string>

namespace launcher_driver {

// A text that is not UTF-8 gives what MultiByteToWideChar makes of it: the records are then
// not what a check expects, and it says so.
inline std::wstring FromUtf8(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

}  // namespace launcher_driver
