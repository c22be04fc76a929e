#include "remote_process.h"

#include <winternl.h>

#include <cstdio>

#include "call_failure.h"

namespace launcher_driver {

namespace {

using QueryInformationProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

QueryInformationProcess FindQuery() {
  // Through void(*)(): GetProcAddress's FARPROC is no call of this type.
  return reinterpret_cast<QueryInformationProcess>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
}

}  // namespace

bool ReadRemote(HANDLE process, DWORD address, void* out, SIZE_T size) {
  SIZE_T got = 0;
  return address && ReadProcessMemory(process, reinterpret_cast<const void*>(address), out, size,
                                      &got) &&
         got == size;
}

DWORD PebAddress(HANDLE process, std::wstring& failure) {
  static const QueryInformationProcess query = FindQuery();
  if (!query) {
    failure = CallFailed(L"GetProcAddress(NtQueryInformationProcess)");
    return 0;
  }
  PROCESS_BASIC_INFORMATION basic = {};
  const NTSTATUS status = query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr);
  if (status != 0) {
    wchar_t text[64];
    std::swprintf(text, 64, L"NtQueryInformationProcess failed with status 0x%08lX",
                  static_cast<unsigned long>(status));
    failure = text;
    return 0;
  }
  return reinterpret_cast<DWORD>(basic.PebBaseAddress);
}

}  // namespace launcher_driver
