// The registry calls that the reader makes, shaped like RegOpenKeyExA,
// RegQueryValueExA and RegCloseKey, with plain types so that no header needs
// <windows.h>. Win32Registry is the real one; the host tests use a fake.
#pragma once

#include <cstdint>

namespace kavrio {

// An open key handle as the port hands it out (an HKEY on Windows).
using RegKey = std::uintptr_t;

// The Win32 numbers that the reader uses, under their Win32 names.
inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
// The value types: REG_NONE, REG_SZ, REG_BINARY, REG_DWORD.
enum : std::uint32_t { kRegNone = 0, kRegSz = 1, kRegBinary = 3, kRegDword = 4 };

// The predefined root that the reader is asked about, as the 32-bit number that the Win32
// headers give it.
inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002u;

class RegistryPort {
 public:
  // RegOpenKeyExA: root is a predefined root number; *result receives the new key on
  // success.
  virtual std::int32_t OpenKeyEx(std::uint32_t root, const char* subKey, std::uint32_t options,
                                 std::uint32_t samDesired, RegKey* result) = 0;
  // RegQueryValueExA (its reserved argument is always null): *dataSize is the
  // buffer size going in and the stored size coming out.
  virtual std::int32_t QueryValueEx(RegKey key, const char* valueName, std::uint32_t* type,
                                    std::uint8_t* data, std::uint32_t* dataSize) = 0;
  // RegCloseKey.
  virtual std::int32_t CloseKey(RegKey key) = 0;

 protected:
  ~RegistryPort() = default;
};

}  // namespace kavrio
