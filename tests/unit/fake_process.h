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

#include "../win32_codes.h"
#include "launch/process_port.h"

namespace kavrio::fakes {

using namespace win32_codes;

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

  OsAnswer<StartedProcess> CreateProcessW(const char16_t* applicationName, char16_t* commandLine,
                                          bool inheritHandles, std::uint32_t creationFlags,
                                          const char16_t* currentDirectory) override {
    creates.push_back({Optional(applicationName), commandLine, inheritHandles, creationFlags,
                       Optional(currentDirectory)});
    if (!createSucceeds) return {false, {}, createError};
    ended_ = endedBeforeWait;
    const OsHandle process = Open("process");
    return {true, {process, Open("thread")}, 0};
  }

  std::uint32_t WaitForSingleObject(OsHandle handle, std::uint32_t milliseconds) override {
    waits.push_back(milliseconds);
    if (!IsOpen(handle)) return kWaitFailed;
    if (ended_) return kWaitObject0;
    if (milliseconds != kInfinite) return kWaitTimeout;
    ended_ = true;  // an infinite wait returns when the program ends
    return kWaitObject0;
  }

  OsAnswer<std::uint32_t> GetExitCodeProcess(OsHandle process) override {
    if (!IsOpen(process) || KindOf(process) != "process" || !exitCodeReadable) {
      return {false, 0, static_cast<std::uint32_t>(kErrorInvalidHandle)};
    }
    return {true, ended_ ? exitCode : kStillActive, 0};
  }

  void CloseHandle(OsHandle handle) override {
    if (IsOpen(handle)) open_.erase(handle);
  }

  OsAnswer<OsHandle> ShellExecuteExW(const char16_t* file, const char16_t* directory) override {
    shellExecutes.push_back({file, Optional(directory)});
    if (!shellSucceeds) return {false, 0, shellError};
    ended_ = endedBeforeWait;
    return {true, shellGivesProcess ? Open("process") : 0, 0};
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
