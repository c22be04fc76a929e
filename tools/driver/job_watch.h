// Every process that a program starts, read from those processes themselves: the program
// runs in a job object of its own, whose completion port names each process that joins the
// job (the program's children, and theirs) the moment it is made, however soon it ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

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

class JobWatch {
 public:
  JobWatch();
  ~JobWatch();
  JobWatch(const JobWatch&) = delete;
  JobWatch& operator=(const JobWatch&) = delete;

  // Creates `program` suspended, puts it into the job, starts the watch and lets it run;
  // "" when it runs, else the call that failed.
  std::wstring Start(const std::wstring& program, std::wstring commandLine, const std::wstring& folder,
             PROCESS_INFORMATION& started);
  // The processes that joined the job, in the order they did (the started program first).
  std::vector<WatchedProcess> Processes();
  // Ends every process still in the job, and waits until none is left.
  void EndAll(DWORD milliseconds = 5000);

 private:
  static DWORD WINAPI Run(void* self);
  void OnNewProcess(DWORD id);
  void OnExit(DWORD id);

  HANDLE job_ = nullptr;
  HANDLE port_ = nullptr;
  HANDLE thread_ = nullptr;
  CRITICAL_SECTION lock_;
  std::vector<WatchedProcess> processes_;
  std::vector<HANDLE> handles_;  // one per process, kept open so that its exit code stays
};

}  // namespace e2e
