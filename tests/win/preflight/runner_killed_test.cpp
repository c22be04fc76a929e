// The runner killed in the middle of a road: the launcher's job closes with the runner, and
// every process in it ends with the job. None is left in the prefix.
#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "cell_set_up.h"
#include "launcher_windows.h"
#include "win32/scoped_handle.h"

namespace preflight {
namespace {

constexpr DWORD kStartWait = 60000;  // the runner sets up its cell first
constexpr DWORD kEndWait = 10000;

// The process of the prefix with that name whose parent is `parent` (0: none yet).
DWORD ChildNamed(DWORD parent, const wchar_t* name) {
  const kavrio::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    ADD_FAILURE() << launcher_driver::CallFailed(L"CreateToolhelp32Snapshot");
    return 0;
  }
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ParentProcessID == parent && lstrcmpiW(entry.szExeFile, name) == 0) {
      return entry.th32ProcessID;
    }
  }
  return 0;
}

DWORD WaitForChild(DWORD parent, const wchar_t* name) {
  const DWORD start = GetTickCount();
  DWORD child = 0;
  while (!(child = ChildNamed(parent, name)) && GetTickCount() - start < kStartWait) Sleep(100);
  return child;
}

// Whether the process has ended within kEndWait; one that has not is ended here, by its
// id, so that it troubles no later test.
bool EndsByItself(DWORD id) {
  const kavrio::ScopedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
  if (WaitForSingleObject(process.Get(), kEndWait) == WAIT_OBJECT_0) return true;
  TerminateProcess(process.Get(), 1);
  return false;
}

// Starts the runner for the cell: Windows 10, 96 dpi, a current browser, the road.
std::wstring StartRunner(const wchar_t* road, launcher_driver::StartedProcess& runner) {
  const std::wstring program = win_tier::ExeFolder() + L"\\preflight_run.exe";
  std::wstring commandLine = L"\"" + program +
                             L"\" --windows win10 --dpi 96 --browser 6.0.2800.1106 "
                             L"--colours system --road " + road;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION made = {};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &made)) {
    return launcher_driver::CallFailed(L"CreateProcessW");
  }
  runner.handle.Reset(made.hProcess);
  runner.thread.Reset(made.hThread);
  runner.id = made.dwProcessId;
  return L"";
}

class RunnerKilled : public CellSetUp {};

TEST_F(RunnerKilled, LeavesNoLauncherAndNoInstaller) {
  ASSERT_TRUE(Done(launcher_driver::LayOutCd()));
  struct Row {
    const char* name;
    const wchar_t* road;
    const wchar_t* installer;  // killed as this runs; nullptr: as the menu is open
  };
  const Row rows[] = {
      {"with the menu open", L"menu-business-next", nullptr},
      {"as the installer runs", L"menu-home", L"Setup.exe"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    launcher_driver::StartedProcess runner;
    ASSERT_TRUE(Done(StartRunner(row.road, runner)));
    const DWORD launcher = WaitForChild(runner.id, L"kavrio.exe");
    ASSERT_NE(launcher, 0u) << "the runner started no launcher";
    const DWORD installer = row.installer ? WaitForChild(launcher, row.installer) : 0;
    if (row.installer) {
      ASSERT_NE(installer, 0u) << "the launcher started no installer";
    } else {
      ASSERT_NE(launcher_driver::WaitForForm(launcher, L"Kavrio Business", kStartWait), nullptr);
    }
    ASSERT_TRUE(TerminateProcess(runner.handle.Get(), 1))
        << launcher_driver::CallFailed(L"TerminateProcess");
    ASSERT_EQ(WaitForSingleObject(runner.handle.Get(), kEndWait), WAIT_OBJECT_0);
    EXPECT_TRUE(EndsByItself(launcher)) << "the launcher outlived the runner";
    if (installer) {
      EXPECT_TRUE(EndsByItself(installer)) << "the installer outlived the runner";
    }
  }
}

}  // namespace
}  // namespace preflight
