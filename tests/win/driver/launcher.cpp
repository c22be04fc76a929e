// The launcher's process: started in its job, waited for, and its exit code.
#include "driver.h"
#include "records.h"

namespace launcher_driver {

namespace {

// A wait or a read of the launcher's process that fails leaves the answer unknown: noted,
// and answered as if the launcher still ran, so that no check passes on it.
DWORD WaitForLauncher(HANDLE process, DWORD milliseconds) {
  const DWORD answer = WaitForSingleObject(process, milliseconds);
  if (answer == WAIT_FAILED) {
    NoteFailedCall(L"waiting for the launcher", CallFailed(L"WaitForSingleObject"));
  }
  return answer;
}

}  // namespace

Launcher::~Launcher() {
  // Its job ends it too, with everything it started, as `started` goes; ended here first so
  // that it is gone before its handles close.
  if (process.handle && Running() && TerminateProcess(process.handle.Get(), 1)) {
    WaitForSingleObject(process.handle.Get(), 5000);
  }
}

bool Launcher::WaitForExit(DWORD milliseconds) {
  return WaitForLauncher(process.handle.Get(), milliseconds) == WAIT_OBJECT_0;
}

bool Launcher::Running() { return WaitForLauncher(process.handle.Get(), 0) != WAIT_OBJECT_0; }

DWORD Launcher::ExitCode() {
  DWORD code = STILL_ACTIVE;
  if (!GetExitCodeProcess(process.handle.Get(), &code)) {
    NoteFailedCall(L"the launcher's exit code", CallFailed(L"GetExitCodeProcess"));
  }
  return code;
}

std::wstring StartLauncher(Launcher& launcher, const LaunchOptions& options) {
  if (!CreateDirectoryW(kRecordFolder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return CallFailed(L"CreateDirectoryW");
  }
  if (!SetEnvironmentVariableW(L"KAVRIO_STUB_RECORD",
                               options.recordStarts ? kRecordFile : nullptr) &&
      options.recordStarts) {
    return CallFailed(L"SetEnvironmentVariableW");
  }
  const std::wstring folder = !options.workingFolder.empty()
                                  ? options.workingFolder
                                  : options.exe.substr(0, options.exe.find_last_of(L'\\') + 1);
  return launcher.started.Start(options.exe, L"\"" + options.exe + L"\"", folder,
                                launcher.process);
}

std::wstring StartLauncher(Launcher& launcher, const std::wstring& exe) {
  LaunchOptions options;
  options.exe = exe;
  return StartLauncher(launcher, options);
}

}  // namespace launcher_driver
