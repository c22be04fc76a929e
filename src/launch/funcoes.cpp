#include "launch/funcoes.h"

#include <cstring>
#include <string>

#include "launch/launch_folder.h"

namespace kavrio {

namespace {

bool DirectoryExists(ProcessPort& os, const char16_t* path) {
  const std::uint32_t attributes = os.GetFileAttributesW(path);
  return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) != 0;
}

// "C:\" when it exists, else the root of the drive that holds Windows, else
// null (the launcher's own working folder). driveRoot holds the second case.
const char16_t* ChooseWorkingFolder(ProcessPort& os, char16_t (&driveRoot)[4]) {
  static constexpr char16_t kPreferred[] = u"C:\\";
  if (DirectoryExists(os, kPreferred)) return kPreferred;
  char16_t windows[kMaxPath];
  const std::uint32_t length = os.GetWindowsDirectoryW(windows, kMaxPath);
  if (length < 2 || length >= kMaxPath || !IsDriveLetter(windows[0]) || windows[1] != u':') {
    return nullptr;
  }
  driveRoot[0] = windows[0];
  driveRoot[1] = u':';
  driveRoot[2] = u'\\';
  driveRoot[3] = u'\0';
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

bool CleanProgramPath(const char16_t* path, char16_t* out, std::size_t outSize) {
  if (out == nullptr || outSize == 0) return false;
  out[0] = u'\0';
  if (path == nullptr) return false;
  std::size_t in = 0;
  std::size_t written = 0;
  if (path[0] == u'\\' && path[1] == u'\\') {
    if (outSize < 3) return false;
    out[written++] = u'\\';
    out[written++] = u'\\';
    in = 2;
  }
  while (path[in] != u'\0') {
    if (written + 1 >= outSize) {
      out[0] = u'\0';
      return false;
    }
    out[written++] = path[in];
    in += (path[in] == u'\\' && path[in + 1] == u'\\') ? 2 : 1;
  }
  out[written] = u'\0';
  return true;
}

std::int32_t RunProgram(ProcessPort& os, const char16_t* programPath, std::int16_t waitMode) {
  char16_t path[kMaxPath];
  if (!CleanProgramPath(programPath, path, kMaxPath) || path[0] == u'\0') return kNotStarted;

  // The quoted command line keeps the system from trying "D:\Agente.exe" for
  // "D:\Agente Plimox\...", and the application name pins the file exactly.
  char16_t commandLine[kMaxPath + 2];
  const std::size_t pathLength = std::char_traits<char16_t>::length(path);
  commandLine[0] = u'"';
  std::memcpy(commandLine + 1, path, pathLength * sizeof(char16_t));
  commandLine[pathLength + 1] = u'"';
  commandLine[pathLength + 2] = u'\0';

  char16_t driveRoot[4];
  const char16_t* workingFolder = ChooseWorkingFolder(os, driveRoot);

  OsHandle process = 0;
  OsHandle thread = 0;
  std::uint32_t lastError = 0;
  if (!os.CreateProcessW(path, commandLine, true, kNormalPriorityClass, workingFolder, &process,
                         &thread, &lastError)) {
    // Since Vista a program that asks for administrator rights only starts
    // through the shell, which shows the elevation prompt.
    if (lastError != kErrorElevationRequired) return kNotStarted;
    process = 0;
    thread = 0;
    if (!os.ShellExecuteExW(path, workingFolder, &process, &lastError)) return kNotStarted;
  }

  const std::int32_t result = AwaitExitCode(os, process, waitMode);
  if (thread != 0) os.CloseHandle(thread);
  if (process != 0) os.CloseHandle(process);
  return result;
}

}  // namespace kavrio
