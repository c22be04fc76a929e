// The registry port over advapi32 (RegOpenKeyExA, RegQueryValueExA, RegCloseKey).
#pragma once

#include <cstdint>

#include "registry/registry_port.h"

namespace kavrio {

class Win32Registry final : public RegistryPort {
 public:
  std::int32_t OpenKeyEx(std::uint32_t root, const char* subKey, std::uint32_t options,
                         std::uint32_t samDesired, RegKey* result) override;
  std::int32_t QueryValueEx(RegKey key, const char* valueName, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* dataSize) override;
  std::int32_t CloseKey(RegKey key) override;
};

// The HKEY value of a 32-bit root number. Predefined roots are negative
// 32-bit numbers, so on win64 they are sign-extended (0xFFFFFFFF80000002).
std::uintptr_t RootKeyHandle(std::uint32_t root);

}  // namespace kavrio
