// Win32 numbers that only the fakes and the tests use, under their Win32 names; the ports
// define the few that the product itself needs. The Windows tier checks each against
// <windows.h> (tests/win/adapters/registry_adapter_test.cpp).
#pragma once

#include <cstdint>

namespace kavrio::win32_codes {

// Registry statuses (LONG), which are also the errors of GetLastError.
enum : std::int32_t {
  kErrorFileNotFound = 2, kErrorAccessDenied = 5, kErrorInvalidHandle = 6,
  kErrorInvalidParameter = 87, kErrorBadPathname = 161, kErrorMoreData = 234,
  kErrorCancelled = 1223,
};

// Value types, access rights and predefined roots.
enum : std::uint32_t { kRegExpandSz = 2, kRegDwordBigEndian = 5, kRegMultiSz = 7, kRegQword = 11 };
enum : std::uint32_t { kKeyRead = 0x20019, kKeyAllAccess = 0xF003F };
enum : std::uint32_t {
  kHkeyClassesRoot = 0x80000000u, kHkeyCurrentUser = 0x80000001u, kHkeyUsers = 0x80000003u,
};

// WaitForSingleObject's answers.
enum : std::uint32_t { kWaitObject0 = 0, kWaitTimeout = 258, kWaitFailed = 0xFFFFFFFFu };

}  // namespace kavrio::win32_codes
