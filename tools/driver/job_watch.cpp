#include "job_watch.h"

#include "call_failure.h"
#include "remote_process.h"

namespace e2e {

namespace {

// The job's messages carry this key; the port closes with the watch.
constexpr ULONG_PTR kJobKey = 1;
constexpr ULONG_PTR kStopKey = 2;
// How long a new process may take to set up its parameters (its loader runs first, slowly
// on a loaded or emulated machine).
constexpr DWORD kParametersWait = 20000;

// The fields of a 32-bit process's RTL_USER_PROCESS_PARAMETERS that are read here.
constexpr std::size_t kParametersInPeb = 0x10;
constexpr std::size_t kFlags = 0x08;
constexpr DWORD kNormalized = 1;  // the texts' buffers are addresses, not offsets into the block
constexpr std::size_t kCurrentDirectory = 0x24;
constexpr std::size_t kImagePathName = 0x38;
constexpr std::size_t kCommandLine = 0x40;

struct RemoteUnicodeString {
  USHORT length;
  USHORT maximumLength;
  DWORD buffer;
};

// A text of the parameters block; false until it is there whole (no NUL inside it).
bool ReadRemoteText(HANDLE process, DWORD parameters, std::size_t field, std::wstring& text) {
  DWORD flags = 0;
  RemoteUnicodeString string = {};
  if (!ReadRemote(process, parameters + kFlags, &flags, sizeof flags) ||
      !ReadRemote(process, parameters + field, &string, sizeof string)) {
    return false;
  }
  const DWORD buffer = (flags & kNormalized) ? string.buffer : parameters + string.buffer;
  text.assign(string.length / sizeof(wchar_t), L'\0');
  return string.length == 0 ||
         (ReadRemote(process, buffer, text.data(), string.length) &&
          text.find(L'\0') == std::wstring::npos);
}

// The program, command line and working folder of a process, from its PEB. A
// process that the job names has been made, but its loader may not have set up its PEB and
// parameters yet: they are asked for again until they are there, or the process has ended.
void ReadParameters(HANDLE process, WatchedProcess& watched) {
  const DWORD start = GetTickCount();
  std::wstring failure;
  while (GetTickCount() - start < kParametersWait) {
    // Asked each time: Wine learns a new process's PEB only as its loader starts.
    const DWORD peb = PebAddress(process, failure);
    DWORD parameters = 0;
    if (peb && ReadRemote(process, peb + kParametersInPeb, &parameters, sizeof parameters) &&
        parameters != 0) {
      watched.read = ReadRemoteText(process, parameters, kImagePathName, watched.program) &&
                     ReadRemoteText(process, parameters, kCommandLine, watched.commandLine) &&
                     ReadRemoteText(process, parameters, kCurrentDirectory, watched.workingFolder) &&
                     !watched.program.empty() && !watched.commandLine.empty() &&
                     !watched.workingFolder.empty();
      if (watched.read) return;
    }
    // Not WaitForSingleObject: Wine signals a process whose first thread has not started
    // yet as if it had ended.
    DWORD exitCode = STILL_ACTIVE;
    if (GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE) {
      watched.unread = L"it ended before its parameters could be read";
      break;
    }
    Sleep(2);
  }
  if (watched.unread.empty()) {
    watched.unread = !failure.empty() ? failure : L"its parameters were not there within 20 s";
  }
  // At least the program file, which the process object keeps.
  watched.program.clear();
  watched.commandLine.clear();
  watched.workingFolder.clear();
  wchar_t image[MAX_PATH * 4];
  DWORD size = MAX_PATH * 4;
  if (QueryFullProcessImageNameW(process, 0, image, &size)) watched.program.assign(image, size);
}

}  // namespace

JobWatch::JobWatch() {
  InitializeCriticalSection(&lock_);
  job_ = CreateJobObjectW(nullptr, nullptr);
  port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {reinterpret_cast<void*>(kJobKey), port_};
  SetInformationJobObject(job_, JobObjectAssociateCompletionPortInformation, &association,
                          sizeof association);
}

JobWatch::~JobWatch() {
  if (thread_) {
    // The thread may be reading a new process's parameters, for kParametersWait at most.
    PostQueuedCompletionStatus(port_, 0, kStopKey, nullptr);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  for (HANDLE handle : handles_) CloseHandle(handle);
  CloseHandle(port_);
  CloseHandle(job_);
  DeleteCriticalSection(&lock_);
}

std::wstring JobWatch::Start(const std::wstring& program, std::wstring commandLine,
                             const std::wstring& folder, PROCESS_INFORMATION& started) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED, nullptr, folder.empty() ? nullptr : folder.c_str(),
                      &startup, &started)) {
    return CallFailed(L"CreateProcessW");
  }
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  if (!AssignProcessToJobObject(job_, started.hProcess)) {
    const std::wstring failure = CallFailed(L"AssignProcessToJobObject");
    TerminateProcess(started.hProcess, 1);
    return failure;
  }
  ResumeThread(started.hThread);
  return L"";
}

DWORD WINAPI JobWatch::Run(void* self) {
  auto* watch = static_cast<JobWatch*>(self);
  for (;;) {
    DWORD message = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* detail = nullptr;
    if (!GetQueuedCompletionStatus(watch->port_, &message, &key, &detail, INFINITE)) return 0;
    if (key == kStopKey) return 0;
    const auto id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(detail));
    if (message == JOB_OBJECT_MSG_NEW_PROCESS) watch->OnNewProcess(id);
    if (message == JOB_OBJECT_MSG_EXIT_PROCESS || message == JOB_OBJECT_MSG_ABNORMAL_EXIT_PROCESS) {
      watch->OnExit(id);
    }
  }
}

void JobWatch::OnNewProcess(DWORD id) {
  // Named at once, read after: a process's loader may take a while to set up its parameters.
  WatchedProcess watched;
  watched.id = id;
  EnterCriticalSection(&lock_);
  processes_.push_back(watched);
  LeaveCriticalSection(&lock_);
  HANDLE process =
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, id);
  if (process) {
    ReadParameters(process, watched);
  } else {
    watched.unread = L"OpenProcess failed with error " + std::to_wstring(GetLastError());
  }
  watched.settled = true;
  EnterCriticalSection(&lock_);
  // Its exit, if any, is handled on this thread after this: the entry is still as pushed.
  for (WatchedProcess& entry : processes_) {
    if (entry.id == id && !entry.settled) entry = watched;
  }
  if (process) handles_.push_back(process);
  LeaveCriticalSection(&lock_);
}

void JobWatch::OnExit(DWORD id) {
  EnterCriticalSection(&lock_);
  for (std::size_t i = 0; i < processes_.size(); ++i) {
    if (processes_[i].id != id || processes_[i].ended) continue;
    processes_[i].ended = true;
    for (HANDLE handle : handles_) {
      if (GetProcessId(handle) == id) GetExitCodeProcess(handle, &processes_[i].exitCode);
    }
  }
  LeaveCriticalSection(&lock_);
}

std::vector<WatchedProcess> JobWatch::Processes() {
  EnterCriticalSection(&lock_);
  std::vector<WatchedProcess> copy = processes_;
  LeaveCriticalSection(&lock_);
  return copy;
}

void JobWatch::EndAll(DWORD milliseconds) {
  TerminateJobObject(job_, 1);
  const DWORD start = GetTickCount();
  for (;;) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr) ||
        accounting.ActiveProcesses == 0 || GetTickCount() - start > milliseconds) {
      return;
    }
    Sleep(20);
  }
}

}  // namespace e2e
