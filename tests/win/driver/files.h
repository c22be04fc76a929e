// Files and folders of the Windows-tier tests. Each step that can fail answers with the call
// that failed, or "" when it was done.
#pragma once

#include <windows.h>

#include <string>

#include "call_failure.h"
#include "win32/scoped_handle.h"

namespace win_tier {

// The folder of the running test program ("" where it cannot be known, which is noted).
inline std::wstring ExeFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) {
    launcher_driver::NoteFailedCall(L"the test program's folder",
                                    launcher_driver::CallFailed(L"GetModuleFileNameW"));
    return L"";
  }
  const std::wstring name(path, length);
  return name.substr(0, name.rfind(L'\\'));
}

// Makes every folder above the file at `filePath` that is not there yet.
[[nodiscard]] inline std::wstring MakeFoldersFor(const std::wstring& filePath) {
  for (std::size_t at = filePath.find(L'\\', 3); at != std::wstring::npos;
       at = filePath.find(L'\\', at + 1)) {
    if (!CreateDirectoryW(filePath.substr(0, at).c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      return launcher_driver::CallFailed(L"CreateDirectoryW");
    }
  }
  return L"";
}

// Deletes everything inside `folder`; the folder itself stays. A folder that is not there
// is empty.
[[nodiscard]] inline std::wstring EmptyFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  const kavrio::ScopedFind search(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!search) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return L"";
    return launcher_driver::CallFailed(L"FindFirstFileW", error);
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      const std::wstring failure = EmptyFolder(path);
      if (!failure.empty()) return failure;
      if (!RemoveDirectoryW(path.c_str())) return launcher_driver::CallFailed(L"RemoveDirectoryW");
    } else if (!DeleteFileW(path.c_str())) {
      return launcher_driver::CallFailed(L"DeleteFileW");
    }
  } while (FindNextFileW(search.Get(), &found));
  return GetLastError() == ERROR_NO_MORE_FILES ? L""
                                               : launcher_driver::CallFailed(L"FindNextFileW");
}

// Deletes `folder` and everything in it; "" also where it was not there.
[[nodiscard]] inline std::wstring RemoveFolder(const std::wstring& folder) {
  const std::wstring failure = EmptyFolder(folder);
  if (!failure.empty()) return failure;
  if (RemoveDirectoryW(folder.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
      GetLastError() == ERROR_PATH_NOT_FOUND) {
    return L"";
  }
  return launcher_driver::CallFailed(L"RemoveDirectoryW");
}

}  // namespace win_tier
