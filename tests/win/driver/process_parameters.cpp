#include "process_parameters.h"

#include "call_failure.h"
#include "remote_process.h"

namespace launcher_driver {

namespace {

// The fields of a 32-bit process's RTL_USER_PROCESS_PARAMETERS that are read here.
constexpr DWORD kParametersInPeb = 0x10;
constexpr DWORD kFlags = 0x08;
constexpr DWORD kNormalized = 1;  // the texts' buffers are addresses, not offsets into the block
constexpr DWORD kCurrentDirectory = 0x24;
constexpr DWORD kImagePathName = 0x38;
constexpr DWORD kCommandLine = 0x40;
constexpr DWORD kLongPath = 32768;

struct RemoteUnicodeString {
  USHORT length;
  USHORT maximumLength;
  DWORD buffer;
};

// A text of the parameters block; false until it is there whole (no NUL inside it).
bool ReadRemoteText(HANDLE process, DWORD parameters, DWORD field, std::wstring& text) {
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

// One try: true when the three texts are there.
bool TryReadParameters(HANDLE process, WatchedProcess& watched, std::wstring& failure) {
  // Asked each time: Wine learns a new process's PEB only as its loader starts.
  const DWORD peb = PebAddress(process, failure);
  DWORD parameters = 0;
  if (!peb || !ReadRemote(process, peb + kParametersInPeb, &parameters, sizeof parameters) ||
      parameters == 0) {
    return false;
  }
  return ReadRemoteText(process, parameters, kImagePathName, watched.program) &&
         ReadRemoteText(process, parameters, kCommandLine, watched.commandLine) &&
         ReadRemoteText(process, parameters, kCurrentDirectory, watched.workingFolder) &&
         !watched.program.empty() && !watched.commandLine.empty() &&
         !watched.workingFolder.empty();
}

}  // namespace

void ReadParameters(HANDLE process, WatchedProcess& watched) {
  const DWORD start = GetTickCount();
  std::wstring failure;
  while (GetTickCount() - start < kParametersWait) {
    watched.read = TryReadParameters(process, watched, failure);
    if (watched.read) return;
    // Not WaitForSingleObject: Wine signals a process whose first thread has not started
    // yet as if it had ended.
    DWORD exitCode = STILL_ACTIVE;
    if (!GetExitCodeProcess(process, &exitCode)) {
      watched.unread = CallFailed(L"GetExitCodeProcess");
      break;
    }
    if (exitCode != STILL_ACTIVE) {
      watched.unread = L"it ended before its parameters could be read";
      break;
    }
    Sleep(2);
  }
  if (watched.unread.empty()) {
    watched.unread = !failure.empty() ? failure
                                      : L"its parameters were not there within " +
                                            std::to_wstring(kParametersWait / 1000) + L" s";
  }
  watched.commandLine.clear();
  watched.workingFolder.clear();
  std::wstring image(kLongPath, L'\0');
  DWORD size = kLongPath;
  if (QueryFullProcessImageNameW(process, 0, image.data(), &size)) {
    watched.program = image.substr(0, size);
  } else {
    watched.program.clear();
    watched.unread += L"; " + CallFailed(L"QueryFullProcessImageNameW");
  }
}

}  // namespace launcher_driver
