// Files and folders of the Windows-tier tests.
#pragma once

#include <windows.h>

#include <string>

namespace win_tier {

// The folder of the running test program.
inline std::wstring ExeFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring name(path, length);
  return name.substr(0, name.rfind(L'\\'));
}

// Deletes everything inside `folder`; the folder itself stays.
inline void EmptyFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      EmptyFolder(path);
      RemoveDirectoryW(path.c_str());
    } else {
      DeleteFileW(path.c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// Deletes `folder` and everything in it.
inline void RemoveFolder(const std::wstring& folder) {
  EmptyFolder(folder);
  RemoveDirectoryW(folder.c_str());
}

}  // namespace win_tier
