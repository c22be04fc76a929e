#pragma once

// The operating-system calls that starting an installer needs, shaped like the
// kernel32/shell32 functions they stand for, in their UTF-16 forms. Handles are plain
// numbers; 0 is the empty handle. Texts are UTF-16 whatever the system's code page.

#include <cstdint>

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
  // CreateProcessW with no security attributes, the caller's environment and a
  // STARTUPINFO that holds only its size. applicationName and currentDirectory
  // may be null. On failure both handles are 0 and lastError holds GetLastError.
  virtual bool CreateProcessW(const char16_t* applicationName, char16_t* commandLine,
                              bool inheritHandles, std::uint32_t creationFlags,
                              const char16_t* currentDirectory, OsHandle* process,
                              OsHandle* thread, std::uint32_t* lastError) = 0;

  virtual std::uint32_t WaitForSingleObject(OsHandle handle, std::uint32_t milliseconds) = 0;
  virtual bool GetExitCodeProcess(OsHandle process, std::uint32_t* exitCode) = 0;
  virtual bool CloseHandle(OsHandle handle) = 0;

  // ShellExecuteExW with the default verb and SEE_MASK_NOCLOSEPROCESS: the
  // system shows its elevation prompt when the program asks for one. process
  // may be 0 even on success (no process was started).
  virtual bool ShellExecuteExW(const char16_t* file, const char16_t* directory,
                               OsHandle* process, std::uint32_t* lastError) = 0;

  virtual std::uint32_t GetFileAttributesW(const char16_t* path) = 0;

  // Both return the length written without its NUL, in UTF-16 units; a result of size or
  // more means the buffer was too small (the text may then be cut and unterminated).
  virtual std::uint32_t GetWindowsDirectoryW(char16_t* buffer, std::uint32_t size) = 0;
  virtual std::uint32_t GetModuleFileNameW(char16_t* buffer, std::uint32_t size) = 0;  // own exe

 protected:
  ~ProcessPort() = default;
};

}  // namespace kavrio
