#include "launch/funcoes.h"

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
const char16_t* ChooseWorkingFolder(ProcessPort& os, FixedText<4>& driveRoot) {
  static constexpr char16_t kPreferred[] = u"C:\\";
  if (DirectoryExists(os, kPreferred)) return kPreferred;
  char16_t windows[kMaxPath];
  const std::uint32_t length = os.GetWindowsDirectoryW(windows, kMaxPath);
  if (length < 2 || length >= kMaxPath || !IsDriveLetter(windows[0]) || windows[1] != u':') {
    return nullptr;
  }
  return driveRoot.Append({windows, 2}) && driveRoot.Append(u'\\') ? driveRoot.CStr() : nullptr;
}

OsAnswer<StartedProcess> Start(ProcessPort& os, const PathText& path, const char16_t* folder) {
  // The quoted command line keeps the system from trying "D:\Agente.exe" for
  // "D:\Agente Plimox\...", and the application name pins the file exactly.
  FixedText<kMaxPath + 2> commandLine;  // room for the longest path and its quotes
  if (!commandLine.Append(u'"') || !commandLine.Append(path.View()) || !commandLine.Append(u'"')) {
    return {};
  }
  const OsAnswer<StartedProcess> created =
      os.CreateProcessW(path.CStr(), commandLine.Data(), true, kNormalPriorityClass, folder);
  // Since Vista a program that asks for administrator rights only starts
  // through the shell, which shows the elevation prompt.
  if (created.ok || created.error != kErrorElevationRequired) return created;
  const OsAnswer<OsHandle> shell = os.ShellExecuteExW(path.CStr(), folder);
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

bool CleanProgramPath(const char16_t* path, PathText& out) {
  out.Clear();
  if (path == nullptr) return false;
  std::size_t in = 0;
  if (path[0] == u'\\' && path[1] == u'\\') {
    if (!out.Append(u"\\\\")) return false;
    in = 2;
  }
  while (path[in] != u'\0') {
    if (!out.Append(path[in])) {
      out.Clear();
      return false;
    }
    in += (path[in] == u'\\' && path[in + 1] == u'\\') ? 2 : 1;
  }
  return true;
}

std::int32_t RunProgram(ProcessPort& os, const char16_t* programPath, std::int16_t waitMode) {
  PathText path;
  if (!CleanProgramPath(programPath, path) || path.Empty()) return kNotStarted;
  FixedText<4> driveRoot;
  const OsAnswer<StartedProcess> started = Start(os, path, ChooseWorkingFolder(os, driveRoot));
  if (!started.ok) return kNotStarted;
  // Closed when this returns: the thread first, then the process.
  const OwnedHandle process(os, started.value.process);
  const OwnedHandle thread(os, started.value.thread);
  return AwaitExitCode(os, process.Get(), waitMode);
}

void StartInstaller(const LaunchContext& launch, const char16_t* suffix) {
  PathText path;
  // A path that cannot be built is a program that cannot be started: nothing is reported.
  if (JoinInstallerPath(launch.launchFolder, suffix, path)) {
    RunProgram(launch.process, path.CStr(), kDoNotWait);
  }
}

}  // namespace kavrio
