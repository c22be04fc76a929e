#include "installer_watch.h"

namespace preflight {

namespace {

bool IsCrashHandler(const launcher_driver::WatchedProcess& process) {
  const std::wstring& path = process.program;
  const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
  return CompareStringOrdinal(name.c_str(), -1, L"winedbg.exe", -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

void InstallerWatch::Watch(bool expected, RunResult& result) {
  const DWORD wait = expected ? kStartWait : kNothingStartsWait;
  const DWORD start = GetTickCount();
  std::optional<launcher_driver::WatchedProcess> installer = Installer();
  while (!installer && GetTickCount() - start < wait) {
    Sleep(20);
    installer = Installer();
  }
  if (!installer) return;
  const DWORD named = GetTickCount();
  while (!installer->settled && GetTickCount() - named < kSettleWait) {
    Sleep(20);
    installer = Installer();
  }
  result.started = true;
  SeeWindow(result);
  result.installer = *Installer();  // as it is now: its exit, if it has ended
}

bool InstallerWatch::IsInstallerProcess(DWORD id) {
  for (const launcher_driver::WatchedProcess& process : launcher_.started.Processes()) {
    if (process.id == id) return IsInstaller(process);
  }
  return false;
}

std::optional<launcher_driver::WatchedProcess> InstallerWatch::Installer() {
  for (const launcher_driver::WatchedProcess& process : launcher_.started.Processes()) {
    if (IsInstaller(process)) return process;
  }
  return std::nullopt;
}

bool InstallerWatch::IsInstaller(const launcher_driver::WatchedProcess& process) const {
  return process.id != launcher_.process.id && !IsCrashHandler(process);
}

HWND InstallerWatch::InstallerWindow() {
  for (HWND window : launcher_driver::VisibleWindowsOfEveryProcess()) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (IsInstallerProcess(owner)) return window;
  }
  return nullptr;
}

bool InstallerWatch::AllInstallerProcessesEnded() {
  for (const launcher_driver::WatchedProcess& process : launcher_.started.Processes()) {
    if (IsInstaller(process) && !process.ended) return false;
  }
  return true;
}

// Waits for the installer's first window and saves it; a window that was seen but could not
// be saved says why, and lists no screenshot.
void InstallerWatch::SeeWindow(RunResult& result) {
  const DWORD start = GetTickCount();
  HWND window = nullptr;
  while (!(window = InstallerWindow()) && GetTickCount() - start < kInstallerWindowWait) {
    if (AllInstallerProcessesEnded()) break;
    Sleep(50);
  }
  if (!window) return;
  Sleep(500);  // its first paint
  result.installerWindowSeen = true;
  result.installerWindowTitle = launcher_driver::TextOf(window);
  result.installerScreenshotFailure = launcher_driver::SaveScreenshot(window, L"installer");
  if (result.installerScreenshotFailure.empty()) result.installerScreenshot = L"installer.bmp";
}

}  // namespace preflight
