// What the launcher started, from its job: the installer's first process, what it was started
// with (read from it once its loader has set that up), and its first window.
#pragma once

#include <windows.h>

#include <optional>

#include "driver.h"
#include "run_result.h"

namespace preflight {

// How long the road's installer has to start once the launcher is done.
constexpr DWORD kStartWait = 10000;
// How long a road that starts nothing is watched for a late start.
constexpr DWORD kNothingStartsWait = 1500;
// The job watch reads a new process's parameters for kParametersWait at most: a little
// longer here, so that its answer, either way, is in.
constexpr DWORD kSettleWait = launcher_driver::kParametersWait + 5000;

class InstallerWatch {
 public:
  explicit InstallerWatch(launcher_driver::Launcher& launcher) : launcher_(launcher) {}

  // Waits for a start (on a road that starts nothing, a short while for a late one), for
  // what it was started with, and for its first window, which it saves. Fills
  // result.started, installer and the installer's window and screenshot.
  void Watch(bool expected, RunResult& result);
  // Whether the process is one of the installer's: started by the launcher, or by what it
  // started, other than the launcher itself and Wine's crash handler.
  bool IsInstallerProcess(DWORD id);

 private:
  // The installer's first process as the job watch knows it now, if one has started.
  std::optional<launcher_driver::WatchedProcess> Installer();
  bool IsInstaller(const launcher_driver::WatchedProcess& process) const;
  HWND InstallerWindow();
  bool AllInstallerProcessesEnded();
  void SeeWindow(RunResult& result);

  launcher_driver::Launcher& launcher_;
};

}  // namespace preflight
