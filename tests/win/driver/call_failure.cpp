#include "call_failure.h"

#include <utility>

#include "win32/scoped_lock.h"

namespace launcher_driver {

namespace {

// The job watch's thread notes failures too.
kavrio::CriticalSection& FailuresLock() {
  static kavrio::CriticalSection lock;
  return lock;
}

std::vector<std::wstring>& Failures() {
  static std::vector<std::wstring> failures;
  return failures;
}

}  // namespace

std::wstring CallFailed(const wchar_t* call, DWORD error) {
  return std::wstring(call) + L" failed with error " + std::to_wstring(error);
}

void NoteFailedCall(const std::wstring& what, const std::wstring& failure) {
  const kavrio::ScopedLock lock(FailuresLock());
  Failures().push_back(what + L": " + failure);
}

std::vector<std::wstring> TakeFailedCalls() {
  const kavrio::ScopedLock lock(FailuresLock());
  return std::exchange(Failures(), {});
}

}  // namespace launcher_driver
