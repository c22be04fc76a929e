#include "cell_read_back.h"

#include <cstdio>
#include <sstream>
#include <string>

#include "call_failure.h"
#include "files.h"
#include "remote_process.h"
#include "win32/scoped_handle.h"

namespace preflight {

namespace {

using launcher_driver::CallFailed;

// The version fields of a 32-bit PEB: OSMajorVersion, OSMinorVersion, OSBuildNumber and
// OSCSDVersion, OSPlatformId.
constexpr DWORD kOsVersionInPeb = 0xA4;
struct PebVersion {
  DWORD major;
  DWORD minor;
  WORD build;
  WORD servicePack;
  DWORD platform;
};

// The probe writes a few hundred bytes; a pipe this large never makes it wait.
constexpr DWORD kProbePipeSize = 65536;
constexpr DWORD kProbeWait = 30000;

std::string ReadAll(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

// "dpi 144" and "colour 15 f0f0f0" lines, as cell_probe writes them.
void ParseProbe(const std::string& output, FreshProgram& fresh) {
  std::istringstream lines(output);
  std::string line;
  bool sawDpi = false;
  while (std::getline(lines, line)) {
    unsigned long dpi = 0, colour = 0;
    int element = 0;
    if (std::sscanf(line.c_str(), "dpi %lu", &dpi) == 1) {
      fresh.dpi = dpi;
      sawDpi = true;
    } else if (std::sscanf(line.c_str(), "colour %d %lx", &element, &colour) == 2) {
      fresh.colours.emplace_back(element, static_cast<COLORREF>(colour));
    }
  }
  fresh.read = sawDpi && !fresh.colours.empty();
  if (!fresh.read) fresh.unread = L"the probe wrote no DPI or no colours";
}

// Runs the probe with its standard output into `output`; "" or why it could not.
std::wstring RunProbe(std::string& output) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  kavrio::ScopedHandle readEnd, writeEnd;
  if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inheritable, kProbePipeSize)) {
    return CallFailed(L"CreatePipe");
  }
  if (!SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0)) {
    return CallFailed(L"SetHandleInformation");
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = writeEnd.Get();
  const std::wstring program = win_tier::ExeFolder() + L"\\cell_probe.exe";
  std::wstring commandLine = L"\"" + program + L"\"";
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &started)) {
    return CallFailed(L"CreateProcessW");
  }
  const kavrio::ScopedHandle process(started.hProcess), thread(started.hThread);
  writeEnd.Reset();  // the probe holds the only write end: the pipe ends when it does
  if (WaitForSingleObject(process.Get(), kProbeWait) != WAIT_OBJECT_0) {
    TerminateProcess(process.Get(), 1);
    return L"the probe did not end within " + std::to_wstring(kProbeWait / 1000) + L" s";
  }
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.Get(), &exitCode)) return CallFailed(L"GetExitCodeProcess");
  if (exitCode != 0) return L"the probe ended with exit code " + std::to_wstring(exitCode);
  output = ReadAll(readEnd.Get());
  return L"";
}

}  // namespace

ToldWindows ReadToldWindows(HANDLE process) {
  ToldWindows told;
  DWORD exitCode = STILL_ACTIVE;
  if (GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE) {
    told.unread = L"the process had ended";
    return told;
  }
  const DWORD peb = launcher_driver::PebAddress(process, told.unread);
  PebVersion version = {};
  if (!peb) return told;
  if (!launcher_driver::ReadRemote(process, peb + kOsVersionInPeb, &version, sizeof version)) {
    told.unread = CallFailed(L"ReadProcessMemory");
    return told;
  }
  told.read = true;
  told.major = version.major;
  told.minor = version.minor;
  told.platform = version.platform;
  return told;
}

FreshProgram ProbeFreshProgram() {
  FreshProgram fresh;
  std::string output;
  fresh.unread = RunProbe(output);
  if (fresh.unread.empty()) ParseProbe(output, fresh);
  return fresh;
}

BrowserSeen ReadBrowser() {
  BrowserSeen seen;
  kavrio::ScopedKey key;
  LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer", 0,
                                 KEY_QUERY_VALUE, key.Receive());
  seen.read = status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  if (!seen.read) seen.unread = CallFailed(L"RegOpenKeyExW", status);
  seen.key = status == ERROR_SUCCESS;
  if (!seen.key) return seen;
  wchar_t text[256] = {};
  DWORD size = sizeof text - sizeof(wchar_t);  // room for a NUL that the value may lack
  status = RegQueryValueExW(key.Get(), L"Version", nullptr, &seen.type,
                            reinterpret_cast<BYTE*>(text), &size);
  seen.read = status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  if (!seen.read) seen.unread = CallFailed(L"RegQueryValueExW", status);
  if (status == ERROR_SUCCESS && seen.type == REG_SZ) seen.version = text;
  if (status == ERROR_FILE_NOT_FOUND) seen.type = REG_NONE;
  return seen;
}

std::vector<std::pair<int, COLORREF>> PromisedColours(const Cell& cell) {
  std::vector<std::pair<int, COLORREF>> colours = HighContrastScheme();
  if (!cell.highContrast) {
    // The prefix's own colours: this process read them as it started, before any set-up.
    for (auto& [element, colour] : colours) colour = GetSysColor(element);
  }
  return colours;
}

}  // namespace preflight
