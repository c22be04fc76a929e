#pragma once

// The operating-system calls that starting an installer needs, shaped like the
// kernel32/shell32 functions they stand for. Handles are plain numbers; 0 is
// the empty handle.

#include <cstdint>

// <windows.h> renames some of these calls by macro (CreateProcess to
// CreateProcessA). The methods keep their plain names whatever was included first.
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

using OsHandle = std::uintptr_t;

inline constexpr std::uint32_t kNormalPriorityClass = 0x20;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
inline constexpr std::uint32_t kStillActive = 259;
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorElevationRequired = 740;
inline constexpr std::uint32_t kErrorCancelled = 1223;

class ProcessPort {
 public:
  virtual ~ProcessPort() = default;

  // CreateProcessA with no security attributes, the caller's environment and a
  // STARTUPINFOA that holds only its size. applicationName and currentDirectory
  // may be null. On failure both handles are 0 and lastError holds GetLastError.
  virtual bool CreateProcess(const char* applicationName, char* commandLine,
                             bool inheritHandles, std::uint32_t creationFlags,
                             const char* currentDirectory, OsHandle* process,
                             OsHandle* thread, std::uint32_t* lastError) = 0;

  virtual std::uint32_t WaitForSingleObject(OsHandle handle, std::uint32_t milliseconds) = 0;
  virtual bool GetExitCodeProcess(OsHandle process, std::uint32_t* exitCode) = 0;
  virtual bool CloseHandle(OsHandle handle) = 0;

  // ShellExecuteExA with the default verb and SEE_MASK_NOCLOSEPROCESS: the
  // system shows its elevation prompt when the program asks for one. process
  // may be 0 even on success (no process was started).
  virtual bool ShellExecuteEx(const char* file, const char* directory, OsHandle* process,
                              std::uint32_t* lastError) = 0;

  virtual std::uint32_t GetFileAttributes(const char* path) = 0;

  // Both return the length written without its NUL; a result of size or more
  // means the buffer was too small (the text may then be cut and unterminated).
  virtual std::uint32_t GetWindowsDirectory(char* buffer, std::uint32_t size) = 0;
  virtual std::uint32_t GetModuleFileName(char* buffer, std::uint32_t size) = 0;  // own exe
};

}  // namespace kavrio

#pragma pop_macro("GetModuleFileName")
#pragma pop_macro("GetWindowsDirectory")
#pragma pop_macro("GetFileAttributes")
#pragma pop_macro("ShellExecuteEx")
#pragma pop_macro("CreateProcess")
