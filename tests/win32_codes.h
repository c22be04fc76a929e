// Win32 numbers that only the fakes and the tests use, under their Win32 names; the ports
// define the few that the product itself needs. The Windows tier checks each against
// <windows.h> (tests/win/adapters/registry_adapter_test.cpp).
#pragma once

#include <cstdint>

namespace kavrio::win32_codes {

// Registry statuses (LONG) and the other errors of GetLastError.
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorInvalidParameter = 87;
inline constexpr std::int32_t kErrorBadPathname = 161;
inline constexpr std::int32_t kErrorMoreData = 234;
inline constexpr std::int32_t kErrorCancelled = 1223;

inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

inline constexpr std::uint32_t kHkeyClassesRoot = 0x80000000u;
inline constexpr std::uint32_t kHkeyCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kHkeyUsers = 0x80000003u;

inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;

}  // namespace kavrio::win32_codes
