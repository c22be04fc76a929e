#pragma once

// The operating-system calls that starting an installer needs, shaped like the
// kernel32/shell32 functions they stand for, in their UTF-16 forms. Handles are plain
// numbers; 0 is the empty handle. Texts are UTF-16 whatever the system's code page.

#include <cstdint>

namespace kavrio {

using OsHandle = std::uintptr_t;

inline constexpr std::uint32_t kNormalPriorityClass = 0x20;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
inline constexpr std::uint32_t kStillActive = 259;
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kErrorElevationRequired = 740;

// What a call that may fail gives back: its answer, or why it failed (GetLastError).
template <typename Answer>
struct OsAnswer {
  bool ok = false;
  Answer value{};
  std::uint32_t error = 0;
};

struct StartedProcess {
  OsHandle process = 0;
  OsHandle thread = 0;
};

class ProcessPort {
 public:
  // CreateProcessW with no security attributes, the caller's environment and a
  // STARTUPINFO that holds only its size. applicationName and currentDirectory
  // may be null.
  virtual OsAnswer<StartedProcess> CreateProcessW(const char16_t* applicationName,
                                                  char16_t* commandLine, bool inheritHandles,
                                                  std::uint32_t creationFlags,
                                                  const char16_t* currentDirectory) = 0;

  virtual std::uint32_t WaitForSingleObject(OsHandle handle, std::uint32_t milliseconds) = 0;
  virtual OsAnswer<std::uint32_t> GetExitCodeProcess(OsHandle process) = 0;
  virtual void CloseHandle(OsHandle handle) = 0;

  // ShellExecuteExW with the default verb and SEE_MASK_NOCLOSEPROCESS: the system shows its
  // elevation prompt when the program asks for one. The process may be 0 even on success
  // (no process was started).
  virtual OsAnswer<OsHandle> ShellExecuteExW(const char16_t* file,
                                             const char16_t* directory) = 0;

  virtual std::uint32_t GetFileAttributesW(const char16_t* path) = 0;

  // Both return the length written without its NUL, in UTF-16 units; a result of size or
  // more means the buffer was too small (the text may then be cut and unterminated).
  virtual std::uint32_t GetWindowsDirectoryW(char16_t* buffer, std::uint32_t size) = 0;
  virtual std::uint32_t GetModuleFileNameW(char16_t* buffer, std::uint32_t size) = 0;  // own exe

 protected:
  ~ProcessPort() = default;
};

// Owns a handle of the port: closes it when it goes out of scope. 0 owns nothing (the adapter
// hands out INVALID_HANDLE_VALUE as 0 too).
class OwnedHandle {
 public:
  OwnedHandle(ProcessPort& os, OsHandle handle) : os_(os), handle_(handle) {}
  ~OwnedHandle() {
    if (handle_ != 0) os_.CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  OsHandle Get() const { return handle_; }

 private:
  ProcessPort& os_;
  OsHandle handle_;
};

}  // namespace kavrio
