// A critical section that lives as long as its owner, and a lock on it for one scope, so
// that no path through a function leaves it entered.
#pragma once

#include <windows.h>

namespace kavrio {

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section_); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  CRITICAL_SECTION* Get() { return &section_; }

 private:
  CRITICAL_SECTION section_;
};

class ScopedLock {
 public:
  explicit ScopedLock(CriticalSection& section) : section_(section.Get()) {
    EnterCriticalSection(section_);
  }
  ~ScopedLock() { LeaveCriticalSection(section_); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CRITICAL_SECTION* section_;
};

}  // namespace kavrio
