#pragma once

#include "launch/process_port.h"

// The plain method names, as in process_port.h.
#pragma push_macro("CreateProcess")
#pragma push_macro("ShellExecuteEx")
#pragma push_macro("GetFileAttributes")
#pragma push_macro("GetWindowsDirectory")
#pragma push_macro("GetModuleFileName")
#undef CreateProcess
#undef ShellExecuteEx
#undef GetFileAttributes
#undef GetWindowsDirectory
#undef GetModuleFileName

namespace kavrio {

// ProcessPort over the real kernel32/shell32 calls.
class Win32Process final : public ProcessPort {
 public:
  bool CreateProcess(const char* applicationName, char* commandLine, bool inheritHandles,
                     std::uint32_t creationFlags, const char* currentDirectory,
                     OsHandle* process, OsHandle* thread, std::uint32_t* lastError) override;
  std::uint32_t WaitForSingleObject(OsHandle handle, std::uint32_t milliseconds) override;
  bool GetExitCodeProcess(OsHandle process, std::uint32_t* exitCode) override;
  bool CloseHandle(OsHandle handle) override;
  bool ShellExecuteEx(const char* file, const char* directory, OsHandle* process,
                      std::uint32_t* lastError) override;
  std::uint32_t GetFileAttributes(const char* path) override;
  std::uint32_t GetWindowsDirectory(char* buffer, std::uint32_t size) override;
  std::uint32_t GetModuleFileName(char* buffer, std::uint32_t size) override;
};

}  // namespace kavrio

#pragma pop_macro("GetModuleFileName")
#pragma pop_macro("GetWindowsDirectory")
#pragma pop_macro("GetFileAttributes")
#pragma pop_macro("ShellExecuteEx")
#pragma pop_macro("CreateProcess")
