#include "registry/win32_registry.h"

#include <windows.h>

namespace kavrio {

static_assert(kErrorSuccess == ERROR_SUCCESS && kRegNone == REG_NONE && kRegSz == REG_SZ &&
              kRegBinary == REG_BINARY && kRegDword == REG_DWORD &&
              kKeyQueryValue == KEY_QUERY_VALUE);

namespace {

HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

std::uintptr_t RootKeyHandle(std::uint32_t root) {
  return static_cast<ULONG_PTR>(static_cast<LONG>(root));
}

std::int32_t Win32Registry::OpenKeyEx(std::uint32_t root, const char* subKey,
                                      std::uint32_t options, std::uint32_t samDesired,
                                      RegKey* result) {
  HKEY opened = nullptr;
  const LONG status = RegOpenKeyExA(ToHkey(RootKeyHandle(root)), subKey, options, samDesired,
                                    result ? &opened : nullptr);
  if (result) *result = status == ERROR_SUCCESS ? reinterpret_cast<RegKey>(opened) : 0;
  return status;
}

std::int32_t Win32Registry::QueryValueEx(RegKey key, const char* valueName, std::uint32_t* type,
                                         std::uint8_t* data, std::uint32_t* dataSize) {
  // DWORD is unsigned long here, so the in/out numbers go through locals.
  DWORD typeRead = REG_NONE;
  DWORD size = dataSize ? *dataSize : 0;
  const LONG status = RegQueryValueExA(ToHkey(key), valueName, nullptr, type ? &typeRead : nullptr,
                                       data, dataSize ? &size : nullptr);
  if (type) *type = typeRead;
  if (dataSize) *dataSize = size;
  return status;
}

std::int32_t Win32Registry::CloseKey(RegKey key) { return RegCloseKey(ToHkey(key)); }

}  // namespace kavrio
