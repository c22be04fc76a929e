#pragma once

// A ProcessPort that behaves as the Win32 calls are documented to, scripted by
// the test. It hands out distinct handles and counts them: a handle left open,
// closed twice, or a call on an empty one shows up in OpenHandles()/misuses.

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "launch/process_port.h"

namespace kavrio::fakes {

class FakeProcess final : public ProcessPort {
 public:
  // The script: what the system does.
  bool createSucceeds = true;
  std::uint32_t createError = kErrorFileNotFound;
  bool shellSucceeds = true;
  std::uint32_t shellError = kErrorCancelled;
  bool shellGivesProcess = true;
  bool endedBeforeWait = false;  // the program is gone before the first wait
  std::uint32_t exitCode = 0;
  bool exitCodeReadable = true;
  std::map<std::u16string, std::uint32_t> fileAttributes{{u"C:\\", 0x16}};  // hidden system folder
  std::u16string windowsDirectory = u"C:\\WINDOWS";  // "" makes the call fail
  std::u16string moduleFileName = u"D:\\kavrio.exe";

  // The record: what was asked.
  struct CreateCall {
    std::optional<std::u16string> applicationName;
    std::u16string commandLine;
    bool inheritHandles;
    std::uint32_t creationFlags;
    std::optional<std::u16string> currentDirectory;
  };
  struct ShellCall {
    std::u16string file;
    std::optional<std::u16string> directory;
  };
  std::vector<CreateCall> creates;
  std::vector<ShellCall> shellExecutes;
  std::vector<std::uint32_t> waits;  // the time-out of every wait
  int misuses = 0;                   // calls on empty, closed or unknown handles

  std::size_t OpenHandles() const { return open_.size(); }

  bool CreateProcessW(const char16_t* applicationName, char16_t* commandLine, bool inheritHandles,
                      std::uint32_t creationFlags, const char16_t* currentDirectory,
                      OsHandle* process, OsHandle* thread, std::uint32_t* lastError) override {
    creates.push_back({Optional(applicationName), commandLine, inheritHandles, creationFlags,
                       Optional(currentDirectory)});
    if (!createSucceeds) {
      *process = *thread = 0;
      *lastError = createError;
      return false;
    }
    ended_ = endedBeforeWait;
    *process = Open("process");
    *thread = Open("thread");
    return true;
  }

  std::uint32_t WaitForSingleObject(OsHandle handle, std::uint32_t milliseconds) override {
    waits.push_back(milliseconds);
    if (!IsOpen(handle)) return kWaitFailed;
    if (ended_) return kWaitObject0;
    if (milliseconds != kInfinite) return kWaitTimeout;
    ended_ = true;  // an infinite wait returns when the program ends
    return kWaitObject0;
  }

  bool GetExitCodeProcess(OsHandle process, std::uint32_t* code) override {
    if (!IsOpen(process) || KindOf(process) != "process" || !exitCodeReadable) return false;
    *code = ended_ ? exitCode : kStillActive;
    return true;
  }

  bool CloseHandle(OsHandle handle) override {
    if (!IsOpen(handle)) return false;
    open_.erase(handle);
    return true;
  }

  bool ShellExecuteExW(const char16_t* file, const char16_t* directory, OsHandle* process,
                       std::uint32_t* lastError) override {
    shellExecutes.push_back({file, Optional(directory)});
    *process = 0;
    if (!shellSucceeds) {
      *lastError = shellError;
      return false;
    }
    ended_ = endedBeforeWait;
    if (shellGivesProcess) *process = Open("process");
    return true;
  }

  std::uint32_t GetFileAttributesW(const char16_t* path) override {
    const auto found = fileAttributes.find(path);
    return found == fileAttributes.end() ? kInvalidFileAttributes : found->second;
  }

  // Too small: returns the size needed (NUL included) and writes nothing.
  std::uint32_t GetWindowsDirectoryW(char16_t* buffer, std::uint32_t size) override {
    const auto length = static_cast<std::uint32_t>(windowsDirectory.size());
    if (length == 0) return 0;
    if (length >= size) return length + 1;
    std::memcpy(buffer, windowsDirectory.c_str(), (length + 1) * sizeof(char16_t));
    return length;
  }

  // Too small: as on Windows XP, fills the buffer without a NUL and returns size.
  std::uint32_t GetModuleFileNameW(char16_t* buffer, std::uint32_t size) override {
    const auto length = static_cast<std::uint32_t>(moduleFileName.size());
    if (length >= size) {
      std::memcpy(buffer, moduleFileName.data(), size * sizeof(char16_t));
      return size;
    }
    std::memcpy(buffer, moduleFileName.c_str(), (length + 1) * sizeof(char16_t));
    return length;
  }

 private:
  static std::optional<std::u16string> Optional(const char16_t* text) {
    return text == nullptr ? std::nullopt : std::optional<std::u16string>(text);
  }
  OsHandle Open(const char* kind) {
    next_ += 4;
    open_[next_] = kind;
    return next_;
  }
  bool IsOpen(OsHandle handle) {
    if (open_.count(handle) != 0) return true;
    ++misuses;
    return false;
  }
  std::string KindOf(OsHandle handle) const {
    if (handle == 0) return "empty";
    const auto found = open_.find(handle);
    return found == open_.end() ? "closed" : found->second;
  }

  std::map<OsHandle, std::string> open_;
  OsHandle next_ = 0x100;
  bool ended_ = false;
};

}  // namespace kavrio::fakes
