// Every process that a program starts, read from those processes themselves: the program
// runs in a job object of its own, whose completion port names each process that joins the
// job (the program's children, and theirs) the moment it is made, however soon it ends. The
// job ends every process in it when it closes, so none outlives the watch, nor the process
// that holds it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win32/scoped_handle.h"
#include "win32/scoped_lock.h"

namespace launcher_driver {

// How long a new process may take to set up its parameters (its loader runs first, slowly
// on a loaded or emulated machine).
constexpr DWORD kParametersWait = 20000;

struct WatchedProcess {
  DWORD id = 0;
  // Read from the process's own parameters block; empty when it ended before they could be.
  std::wstring program;
  std::wstring commandLine;
  std::wstring workingFolder;
  bool read = false;
  bool settled = false;  // the reading is over, whether it succeeded or not
  std::wstring unread;   // why it could not be read
  bool ended = false;
  DWORD exitCode = STILL_ACTIVE;
};

// A process that the watch started.
struct StartedProcess {
  kavrio::ScopedHandle handle;
  kavrio::ScopedHandle thread;
  DWORD id = 0;
};

class JobWatch {
 public:
  JobWatch() = default;
  ~JobWatch();
  JobWatch(const JobWatch&) = delete;
  JobWatch& operator=(const JobWatch&) = delete;

  // Once: makes the job, creates `program` suspended, puts it into the job, starts the watch
  // and lets it run. "" when it runs, else the call that failed.
  std::wstring Start(const std::wstring& program, std::wstring commandLine,
                     const std::wstring& folder, StartedProcess& started);
  // The processes that joined the job, in the order they did (the started program first).
  std::vector<WatchedProcess> Processes();
  // Ends every process still in the job, and waits until none is left; "" or what failed.
  std::wstring EndAll(DWORD milliseconds = 5000);

 private:
  std::wstring MakeJob();
  std::wstring StartThread();
  static DWORD WINAPI Run(void* self);
  void OnNewProcess(DWORD id);
  void OnExit(DWORD id);

  // Declared first, closed last: the job's processes end once nothing else is left.
  kavrio::ScopedHandle job_;
  kavrio::ScopedHandle port_;
  kavrio::ScopedHandle thread_;
  kavrio::CriticalSection lock_;
  std::vector<WatchedProcess> processes_;
  std::vector<kavrio::ScopedHandle> handles_;  // one per process, so that its exit code stays
};

}  // namespace launcher_driver
