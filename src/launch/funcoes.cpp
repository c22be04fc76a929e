#include "launch/funcoes.h"

#include <cstring>

#include "launch/launch_folder.h"

namespace kavrio {

namespace {

bool DirectoryExists(ProcessPort& os, const char* path) {
  const std::uint32_t attributes = os.GetFileAttributes(path);
  return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) != 0;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "C:\" when it exists, else the root of the drive that holds Windows, else
// null (the launcher's own working folder). driveRoot holds the second case.
const char* ChooseWorkingFolder(ProcessPort& os, char (&driveRoot)[4]) {
  static constexpr char kPreferred[] = "C:\\";
  if (DirectoryExists(os, kPreferred)) return kPreferred;
  char windows[kMaxPath];
  const std::uint32_t length = os.GetWindowsDirectory(windows, sizeof windows);
  if (length < 2 || length >= sizeof windows || !IsDriveLetter(windows[0]) || windows[1] != ':') {
    return nullptr;
  }
  driveRoot[0] = windows[0];
  driveRoot[1] = ':';
  driveRoot[2] = '\\';
  driveRoot[3] = '\0';
  return driveRoot;
}

// Waits as the wait mode says, then reads the exit code (259 while running).
std::int32_t AwaitExitCode(ProcessPort& os, OsHandle process, std::int16_t waitMode) {
  if (process == 0) return kNotStarted;
  os.WaitForSingleObject(process, waitMode == kDoNotWait ? 0 : kInfinite);
  std::uint32_t exitCode = 0;
  if (!os.GetExitCodeProcess(process, &exitCode)) return kNotStarted;
  return static_cast<std::int32_t>(exitCode);
}

}  // namespace

bool CleanProgramPath(const char* path, char* out, std::size_t outSize) {
  if (out == nullptr || outSize == 0) return false;
  out[0] = '\0';
  if (path == nullptr) return false;
  std::size_t in = 0;
  std::size_t written = 0;
  if (path[0] == '\\' && path[1] == '\\') {
    if (outSize < 3) return false;
    out[written++] = '\\';
    out[written++] = '\\';
    in = 2;
  }
  while (path[in] != '\0') {
    if (written + 1 >= outSize) {
      out[0] = '\0';
      return false;
    }
    out[written++] = path[in];
    in += (path[in] == '\\' && path[in + 1] == '\\') ? 2 : 1;
  }
  out[written] = '\0';
  return true;
}

std::int32_t RunProgram(ProcessPort& os, const char* programPath, std::int16_t waitMode) {
  char path[kMaxPath];
  if (!CleanProgramPath(programPath, path, sizeof path) || path[0] == '\0') return kNotStarted;

  // The quoted command line keeps the system from trying "D:\Agente.exe" for
  // "D:\Agente Plimox\...", and the application name pins the file exactly.
  char commandLine[kMaxPath + 2];
  const std::size_t pathLength = std::strlen(path);
  commandLine[0] = '"';
  std::memcpy(commandLine + 1, path, pathLength);
  commandLine[pathLength + 1] = '"';
  commandLine[pathLength + 2] = '\0';

  char driveRoot[4];
  const char* workingFolder = ChooseWorkingFolder(os, driveRoot);

  OsHandle process = 0;
  OsHandle thread = 0;
  std::uint32_t lastError = 0;
  if (!os.CreateProcess(path, commandLine, true, kNormalPriorityClass, workingFolder, &process,
                        &thread, &lastError)) {
    // Since Vista a program that asks for administrator rights only starts
    // through the shell, which shows the elevation prompt.
    if (lastError != kErrorElevationRequired) return kNotStarted;
    process = 0;
    thread = 0;
    if (!os.ShellExecuteEx(path, workingFolder, &process, &lastError)) return kNotStarted;
  }

  const std::int32_t result = AwaitExitCode(os, process, waitMode);
  if (thread != 0) os.CloseHandle(thread);
  if (process != 0) os.CloseHandle(process);
  return result;
}

}  // namespace kavrio
