#include "job_watch.h"

#include <utility>

#include "call_failure.h"
#include "process_parameters.h"

namespace launcher_driver {

namespace {

// The job's messages carry this key; the port closes with the watch.
constexpr ULONG_PTR kJobKey = 1;
constexpr ULONG_PTR kStopKey = 2;

}  // namespace

JobWatch::~JobWatch() {
  if (!thread_) return;
  // The thread may be reading a new process's parameters, for kParametersWait at most. A
  // port that takes no message is closed instead, which ends the thread's wait too.
  if (!PostQueuedCompletionStatus(port_.Get(), 0, kStopKey, nullptr)) port_.Reset();
  if (WaitForSingleObject(thread_.Get(), INFINITE) == WAIT_FAILED) {
    NoteFailedCall(L"ending the job's watch", CallFailed(L"WaitForSingleObject"));
  }
}

std::wstring JobWatch::MakeJob() {
  job_.Reset(CreateJobObjectW(nullptr, nullptr));
  if (!job_) return CallFailed(L"CreateJobObjectW");
  // No process outlives the job's last handle: not when the watch goes, and not when the
  // process that holds it dies before EndAll.
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits,
                               sizeof limits)) {
    return CallFailed(L"SetInformationJobObject(JobObjectExtendedLimitInformation)");
  }
  port_.Reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
  if (!port_) return CallFailed(L"CreateIoCompletionPort");
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {reinterpret_cast<void*>(kJobKey),
                                                     port_.Get()};
  if (!SetInformationJobObject(job_.Get(), JobObjectAssociateCompletionPortInformation,
                               &association, sizeof association)) {
    return CallFailed(L"SetInformationJobObject(JobObjectAssociateCompletionPortInformation)");
  }
  return L"";
}

std::wstring JobWatch::StartThread() {
  thread_.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
  return thread_ ? L"" : CallFailed(L"CreateThread");
}

std::wstring JobWatch::Start(const std::wstring& program, std::wstring commandLine,
                             const std::wstring& folder, StartedProcess& started) {
  std::wstring failure = MakeJob();
  if (failure.empty()) failure = StartThread();
  if (!failure.empty()) return failure;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION made = {};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED, nullptr, folder.empty() ? nullptr : folder.c_str(),
                      &startup, &made)) {
    return CallFailed(L"CreateProcessW");
  }
  started.handle.Reset(made.hProcess);
  started.thread.Reset(made.hThread);
  started.id = made.dwProcessId;
  if (!AssignProcessToJobObject(job_.Get(), started.handle.Get())) {
    failure = CallFailed(L"AssignProcessToJobObject");
  } else if (ResumeThread(started.thread.Get()) == static_cast<DWORD>(-1)) {
    failure = CallFailed(L"ResumeThread");
  }
  // A process that cannot be watched never runs: it is still suspended, or the job ends it.
  if (!failure.empty()) TerminateProcess(started.handle.Get(), 1);
  return failure;
}

DWORD WINAPI JobWatch::Run(void* self) {
  auto* watch = static_cast<JobWatch*>(self);
  for (;;) {
    DWORD message = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* detail = nullptr;
    if (!GetQueuedCompletionStatus(watch->port_.Get(), &message, &key, &detail, INFINITE)) {
      NoteFailedCall(L"watching the launcher's job", CallFailed(L"GetQueuedCompletionStatus"));
      return 0;
    }
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
  {
    const kavrio::ScopedLock lock(lock_);
    processes_.push_back(watched);
  }
  kavrio::ScopedHandle process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, id));
  if (process) {
    ReadParameters(process.Get(), watched);
  } else {
    watched.unread = CallFailed(L"OpenProcess");
  }
  watched.settled = true;
  const kavrio::ScopedLock lock(lock_);
  // Its exit, if any, is handled on this thread after this: the entry is still as pushed.
  for (WatchedProcess& entry : processes_) {
    if (entry.id == id && !entry.settled) entry = watched;
  }
  if (process) handles_.push_back(std::move(process));
}

void JobWatch::OnExit(DWORD id) {
  const kavrio::ScopedLock lock(lock_);
  for (WatchedProcess& entry : processes_) {
    if (entry.id != id || entry.ended) continue;
    entry.ended = true;
    for (const kavrio::ScopedHandle& handle : handles_) {
      if (GetProcessId(handle.Get()) == id && !GetExitCodeProcess(handle.Get(), &entry.exitCode)) {
        NoteFailedCall(L"the exit code of process " + std::to_wstring(id),
                       CallFailed(L"GetExitCodeProcess"));
      }
    }
  }
}

std::vector<WatchedProcess> JobWatch::Processes() {
  const kavrio::ScopedLock lock(lock_);
  return processes_;
}

std::wstring JobWatch::EndAll(DWORD milliseconds) {
  if (!job_) return L"";
  if (!TerminateJobObject(job_.Get(), 1)) return CallFailed(L"TerminateJobObject");
  const DWORD start = GetTickCount();
  for (;;) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(job_.Get(), JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr)) {
      return CallFailed(L"QueryInformationJobObject");
    }
    if (accounting.ActiveProcesses == 0) return L"";
    if (GetTickCount() - start > milliseconds) {
      return std::to_wstring(accounting.ActiveProcesses) + L" of its processes still ran " +
             std::to_wstring(milliseconds / 1000) + L" s after TerminateJobObject";
    }
    Sleep(20);
  }
}

}  // namespace launcher_driver
