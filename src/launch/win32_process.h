#pragma once

#include "launch/process_port.h"

namespace kavrio {

// ProcessPort over the real kernel32/shell32 calls: their W forms on the Windows NT line,
// their A forms, with the texts converted, on Windows 95, 98 and ME.
class Win32Process final : public ProcessPort {
 public:
  OsAnswer<StartedProcess> CreateProcessW(const char16_t* applicationName, char16_t* commandLine,
                                          bool inheritHandles, std::uint32_t creationFlags,
                                          const char16_t* currentDirectory) override;
  std::uint32_t WaitForSingleObject(OsHandle handle, std::uint32_t milliseconds) override;
  OsAnswer<std::uint32_t> GetExitCodeProcess(OsHandle process) override;
  void CloseHandle(OsHandle handle) override;
  OsAnswer<OsHandle> ShellExecuteExW(const char16_t* file, const char16_t* directory) override;
  std::uint32_t GetFileAttributesW(const char16_t* path) override;
  std::uint32_t GetWindowsDirectoryW(char16_t* buffer, std::uint32_t size) override;
  std::uint32_t GetModuleFileNameW(char16_t* buffer, std::uint32_t size) override;
};

}  // namespace kavrio
