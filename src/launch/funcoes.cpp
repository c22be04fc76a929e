#include "launch/funcoes.h"

#include <cstring>
#include <string>

#include "common/limits.h"
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

// The quoted command line keeps the system from trying "D:\Agente.exe" for
// "D:\Agente Plimox\...", and the application name pins the file exactly.
void QuoteCommandLine(const char16_t* path, char16_t (&commandLine)[kMaxPath + 2]) {
  const std::size_t length = std::char_traits<char16_t>::length(path);
  commandLine[0] = u'"';
  std::memcpy(commandLine + 1, path, length * sizeof(char16_t));
  commandLine[length + 1] = u'"';
  commandLine[length + 2] = u'\0';
}

OsAnswer<StartedProcess> Start(ProcessPort& os, const char16_t* path, const char16_t* folder) {
  char16_t commandLine[kMaxPath + 2];
  QuoteCommandLine(path, commandLine);
  const OsAnswer<StartedProcess> created =
      os.CreateProcessW(path, commandLine, true, kNormalPriorityClass, folder);
  // Since Vista a program that asks for administrator rights only starts
  // through the shell, which shows the elevation prompt.
  if (created.ok || created.error != kErrorElevationRequired) return created;
  const OsAnswer<OsHandle> shell = os.ShellExecuteExW(path, folder);
  return {shell.ok, StartedProcess{shell.value, 0}, shell.error};
}

// Waits as the wait mode says, then reads the exit code (259 while running).
std::int32_t AwaitExitCode(ProcessPort& os, OsHandle process, std::int16_t waitMode) {
  if (process == 0) return kNotStarted;
  os.WaitForSingleObject(process, waitMode == kDoNotWait ? 0 : kInfinite);
  const OsAnswer<std::uint32_t> exitCode = os.GetExitCodeProcess(process);
  return exitCode.ok ? static_cast<std::int32_t>(exitCode.value) : kNotStarted;
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
  char16_t driveRoot[4];
  const OsAnswer<StartedProcess> started = Start(os, path, ChooseWorkingFolder(os, driveRoot));
  if (!started.ok) return kNotStarted;
  // Closed when this returns: the thread first, then the process.
  const OwnedHandle process(os, started.value.process);
  const OwnedHandle thread(os, started.value.thread);
  return AwaitExitCode(os, process.Get(), waitMode);
}

void StartInstaller(const LaunchContext& launch, const char16_t* suffix) {
  char16_t path[kMaxPath];
  // A path that cannot be built is a program that cannot be started: nothing is reported.
  if (JoinInstallerPath(launch.launchFolder, suffix, path, kMaxPath)) {
    RunProgram(launch.process, path, kDoNotWait);
  }
}

}  // namespace kavrio
