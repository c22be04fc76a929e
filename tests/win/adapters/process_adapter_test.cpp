// RunProgram and Win32Process against the real Win32 API, starting the stub
// installer that sits beside this exe. The stub appends "<path>\t<command
// line>\t<working folder>" (UTF-8) to the file named by KAVRIO_STUB_RECORD.
//
// The same tests run a second time with Wine reporting Windows 98 to this exe: the
// adapter then takes its ANSI branch.

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "files.h"
#include "launch/funcoes.h"
#include "launch/launch_folder.h"
#include "launch/win32_process.h"
#include "win32/run_time_calls.h"

namespace kavrio {
namespace {

struct Record {
  std::string path;
  std::string commandLine;
  std::string workingFolder;
};

const char16_t* U(const std::wstring& text) { return reinterpret_cast<const char16_t*>(text.c_str()); }

std::string Utf8(const std::wstring& wide) {
  char utf8[4 * MAX_PATH];
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

// The ANSI branch of Windows 95 to ME.
bool AsWindows9x() { return (GetVersion() & 0x80000000u) != 0; }

// True when the ANSI code page has every character of `text`.
bool HasAnsiForm(const std::wstring& text) {
  BOOL lossy = FALSE;
  char ansi[2 * MAX_PATH];
  return WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi, sizeof ansi, nullptr, &lossy) > 0 &&
         !lossy;
}

using win_tier::ExeFolder;
using win_tier::RemoveFolder;

// Waits for every running process whose file is called `name`.
void WaitForProcessesNamed(const char* name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, name) != 0) continue;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (process == nullptr) continue;
    EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
    CloseHandle(process);
  }
  CloseHandle(snapshot);
}

// Wine 8's GetProcessHandleCount always reports 0; the system handle table
// (NtQuerySystemInformation, SystemHandleInformation) still counts there.
DWORD HandleCountFromSystemTable() {
  struct Entry {
    USHORT processId;  // low 16 bits
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR attributes;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
  };
  struct Table {
    ULONG count;
    Entry entries[1];
  };
  using QueryFn = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return 0;
  std::vector<char> buffer(1 << 20);
  ULONG needed = 0;
  LONG status;
  while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
         static_cast<LONG>(0xC0000004)) {  // STATUS_INFO_LENGTH_MISMATCH
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return 0;
  const auto* table = reinterpret_cast<const Table*>(buffer.data());
  const auto self = static_cast<USHORT>(GetCurrentProcessId());
  DWORD count = 0;
  for (ULONG i = 0; i < table->count; ++i) count += table->entries[i].processId == self;
  return count;
}

DWORD HandleCount() {
  DWORD count = 0;
  EXPECT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &count));
  if (count == 0) count = HandleCountFromSystemTable();
  EXPECT_GT(count, 0u) << "no way to count this process's handles";
  return count;
}

class ProcessAdapter : public ::testing::Test {
 protected:
  void SetUp() override {
    FindRunTimeCalls();  // as the launcher's entry does
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    scratch_ = std::wstring(temp) + L"kavrio-launch-" + std::to_wstring(GetCurrentProcessId());
    EXPECT_EQ(RemoveFolder(scratch_), L"");
    ASSERT_TRUE(CreateDirectoryW(scratch_.c_str(), nullptr));
    record_ = scratch_ + L"\\record.txt";
    SetEnvironmentVariableW(L"KAVRIO_STUB_RECORD", record_.c_str());
    SetEnvironmentVariableW(L"KAVRIO_STUB_SLEEP_MS", nullptr);
    SetEnvironmentVariableW(L"KAVRIO_STUB_EXIT_CODE", nullptr);
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"KAVRIO_STUB_RECORD", nullptr);
    EXPECT_EQ(RemoveFolder(scratch_), L"");
  }

  // Copies the stub to scratch\relative (folders made as needed).
  std::wstring Plant(const std::wstring& relative) {
    const std::wstring path = scratch_ + L"\\" + relative;
    for (std::size_t at = path.find(L'\\', scratch_.size() + 1); at != std::wstring::npos;
         at = path.find(L'\\', at + 1)) {
      CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    EXPECT_TRUE(CopyFileW((ExeFolder() + L"\\stub_installer.exe").c_str(), path.c_str(), FALSE))
        << Utf8(path);
    return path;
  }

  std::vector<Record> Records() const {
    std::string bytes;
    HANDLE file = CreateFileW(record_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char chunk[4096];
      DWORD got = 0;
      while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
      CloseHandle(file);
    }
    std::istringstream lines(bytes);
    std::vector<Record> records;
    std::string line;
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::istringstream fields(line);
      Record record;
      std::getline(fields, record.path, '\t');
      std::getline(fields, record.commandLine, '\t');
      std::getline(fields, record.workingFolder, '\t');
      records.push_back(record);
    }
    return records;
  }

  std::vector<Record> AwaitRecords(std::size_t count) const {
    for (int i = 0; i < 200 && Records().size() < count; ++i) Sleep(50);
    return Records();
  }

  Win32Process os_;
  std::wstring scratch_;
  std::wstring record_;
};

// The run meant to take the ANSI branch does take it (Wine reports Windows 98 to this exe).
TEST(ProcessAdapterBranch, IsTheOneThisRunIsFor) {
  char expected[8] = "";
  GetEnvironmentVariableA("KAVRIO_EXPECT_WINDOWS_98", expected, sizeof expected);
  EXPECT_EQ(AsWindows9x(), expected[0] == '1');
}

TEST_F(ProcessAdapter, StartsAPathWithSpacesNeverTheDecoysAtItsSpacePrefixes) {
  struct Case {
    std::wstring program;
    std::vector<std::wstring> decoys;
  } cases[] = {
      {L"Agente Plimox\\Instalador Assistente Kavrio.exe",
       {L"Agente.exe", L"Agente Plimox\\Instalador.exe"}},
      {L"CD Kavrio\\Setup.exe", {L"CD.exe"}},
      {L"Instala\u00e7\u00e3o Kavrio\\Setup.exe", {L"Instala\u00e7\u00e3o.exe"}},
      // Letters of no one code page: on the NT line they start whatever the code page is.
      {L"Instala\u00e7\u00e3o \u5b89\u88c5\\Setup.exe", {L"Instala\u00e7\u00e3o.exe"}},
  };
  SetEnvironmentVariableW(L"KAVRIO_STUB_EXIT_CODE", L"42");
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.program));
    DeleteFileW(record_.c_str());
    const std::wstring program = Plant(c.program);
    for (const std::wstring& decoy : c.decoys) Plant(decoy);

    // Windows 95 to ME name files in their ANSI code page only: a path outside it starts
    // nothing rather than another file.
    const bool startable = !AsWindows9x() || HasAnsiForm(program);
    EXPECT_EQ(RunProgram(os_, U(program), 0), startable ? 42 : -1);
    const std::vector<Record> records = Records();
    ASSERT_EQ(records.size(), startable ? 1u : 0u) << "only the program itself runs";
    if (!startable) continue;
    EXPECT_EQ(records[0].path, Utf8(program));
    EXPECT_EQ(records[0].commandLine, Utf8(L"\"" + program + L"\""));
    EXPECT_EQ(records[0].workingFolder, "C:\\");
  }
}

// Proves that the decoy above is a real trap: the system's own splitting of
// an unquoted command line starts it.
TEST_F(ProcessAdapter, AnUnquotedCommandLineWouldStartTheDecoy) {
  const std::wstring program = Plant(L"Agente Plimox\\Instalador Assistente Kavrio.exe");
  const std::wstring decoy = Plant(L"Agente.exe");
  std::wstring commandLine = program;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE,
                             NORMAL_PRIORITY_CLASS, nullptr, L"C:\\", &startup, &info));
  WaitForSingleObject(info.hProcess, 20000);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].path, Utf8(decoy));
}

TEST_F(ProcessAdapter, WaitModeOneReturnsStillActiveWhileTheStubRuns) {
  const std::wstring program = Plant(L"Still Running\\StillRunning.exe");
  SetEnvironmentVariableW(L"KAVRIO_STUB_SLEEP_MS", L"3000");
  SetEnvironmentVariableW(L"KAVRIO_STUB_EXIT_CODE", L"42");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunProgram(os_, U(program), kDoNotWait), 259);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
  const std::vector<Record> records = AwaitRecords(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].path, Utf8(program));
  WaitForProcessesNamed("StillRunning.exe");
}

TEST_F(ProcessAdapter, OtherWaitModesReturnTheStubsExitCode) {
  struct Case {
    std::int16_t waitMode;
    const wchar_t* exitCode;
    std::int32_t result;
  } cases[] = {{0, L"42", 42}, {2, L"7", 7}, {-1, L"0", 0}, {32767, L"-5", -5}};
  const std::wstring program = Plant(L"Setup.exe");
  SetEnvironmentVariableW(L"KAVRIO_STUB_SLEEP_MS", L"300");  // ends after the wait began
  for (const Case& c : cases) {
    SCOPED_TRACE(c.waitMode);
    SetEnvironmentVariableW(L"KAVRIO_STUB_EXIT_CODE", c.exitCode);
    EXPECT_EQ(RunProgram(os_, U(program), c.waitMode), c.result);
  }
  EXPECT_EQ(Records().size(), 4u);
}

TEST_F(ProcessAdapter, AProgramThatCannotStartReturnsMinusOne) {
  const std::wstring text = scratch_ + L"\\Text.exe";
  HANDLE textFile = CreateFileW(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(textFile, "not a program", 13, &written, nullptr);
  CloseHandle(textFile);
  struct Case {
    std::wstring path;
    std::int16_t waitMode;
  } cases[] = {{scratch_ + L"\\Missing.exe", kDoNotWait},
               {scratch_ + L"\\No Folder\\Setup.exe", 0},
               {L"Z:\\nowhere\\kavrio-missing\\Setup.exe", 0},
               {scratch_, kDoNotWait},  // a folder
               {text, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(RunProgram(os_, U(c.path), c.waitMode), -1) << Utf8(c.path);
  }
  EXPECT_TRUE(Records().empty());
}

// Critical errors fail only while a program is started: the launcher's own mode is as it was.
TEST_F(ProcessAdapter, LeavesTheErrorModeAsItWas) {
  const std::wstring program = Plant(L"Setup.exe");
  const UINT original = SetErrorMode(0);
  for (UINT mode : {0u, static_cast<UINT>(SEM_NOGPFAULTERRORBOX)}) {
    SetErrorMode(mode);
    EXPECT_EQ(RunProgram(os_, U(program), 0), 0);
    EXPECT_EQ(RunProgram(os_, U(scratch_ + L"\\Missing.exe"), 0), -1);
    EXPECT_EQ(SetErrorMode(mode), mode);
  }
  SetErrorMode(original);
}

TEST_F(ProcessAdapter, LeavesNoHandleOpenAfterManyCalls) {
  const std::wstring missing = scratch_ + L"\\Missing.exe";
  const std::wstring program = Plant(L"Setup.exe");
  RunProgram(os_, U(missing), kDoNotWait);  // first-use allocations happen here
  EXPECT_EQ(RunProgram(os_, U(program), 0), 0);
  const DWORD before = HandleCount();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(RunProgram(os_, U(missing), kDoNotWait), -1);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(RunProgram(os_, U(program), 0), 0);
  EXPECT_EQ(HandleCount(), before);
  EXPECT_EQ(Records().size(), 21u);
}

// The second road after ERROR_ELEVATION_REQUIRED, on the real shell (loaded from the system
// folder on first use). No prompt appears here: the stub asks for no elevation.
TEST_F(ProcessAdapter, ShellExecuteExStartsTheSameFileInTheGivenFolder) {
  const std::wstring program = Plant(L"Agente Plimox\\Instalador Assistente Kavrio.exe");
  Plant(L"Agente.exe");
  SetEnvironmentVariableW(L"KAVRIO_STUB_EXIT_CODE", L"42");
  const OsAnswer<OsHandle> started = os_.ShellExecuteExW(U(program), u"C:\\");
  ASSERT_TRUE(started.ok) << started.error;
  ASSERT_NE(started.value, 0u);
  EXPECT_EQ(os_.WaitForSingleObject(started.value, kInfinite), WAIT_OBJECT_0);
  const OsAnswer<std::uint32_t> exitCode = os_.GetExitCodeProcess(started.value);
  EXPECT_TRUE(exitCode.ok);
  EXPECT_EQ(exitCode.value, 42u);
  os_.CloseHandle(started.value);
  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].path, Utf8(program));
  EXPECT_EQ(records[0].workingFolder, "C:\\");

  const std::wstring missing = scratch_ + L"\\Missing.exe";
  const OsAnswer<OsHandle> failed = os_.ShellExecuteExW(U(missing), u"C:\\");
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.value, 0u);
  EXPECT_EQ(failed.error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

// The same answers that the host fake gives.
TEST_F(ProcessAdapter, QueriesAnswerAsTheFakeDoes) {
  const std::wstring file = Plant(L"Setup.exe");
  EXPECT_NE(os_.GetFileAttributesW(u"C:\\") & kFileAttributeDirectory, 0u);
  EXPECT_NE(os_.GetFileAttributesW(u"C:\\"), kInvalidFileAttributes);
  EXPECT_EQ(os_.GetFileAttributesW(U(file)) & kFileAttributeDirectory, 0u);
  EXPECT_EQ(os_.GetFileAttributesW(U(scratch_ + L"\\Missing")), kInvalidFileAttributes);

  char16_t buffer[MAX_PATH];
  const std::uint32_t windowsLength = os_.GetWindowsDirectoryW(buffer, MAX_PATH);
  ASSERT_GT(windowsLength, 2u);
  EXPECT_EQ(std::u16string(buffer).substr(1, 2), u":\\");
  EXPECT_EQ(os_.GetWindowsDirectoryW(buffer, 2), windowsLength + 1) << "too small: size needed";

  const std::uint32_t moduleLength = os_.GetModuleFileNameW(buffer, MAX_PATH);
  EXPECT_EQ(moduleLength, std::u16string(buffer).size());
  EXPECT_EQ(os_.GetModuleFileNameW(buffer, 4), 4u) << "too small: the size given";

  PathText folder;
  ASSERT_TRUE(CurrentLaunchFolder(os_, folder));
  EXPECT_EQ(folder.View(), std::u16string(U(ExeFolder())));
}

// A launch folder at a drive root, as on the CD: "C:\" + "\Setup.exe". (Wine's
// DefineDosDevice accepts a new drive letter, but its file names never reach it.)
TEST_F(ProcessAdapter, StartsTheInstallerAtTheRootOfADrive) {
  const std::wstring atRoot = L"C:\\Setup.exe";
  if (!CopyFileW((ExeFolder() + L"\\stub_installer.exe").c_str(), atRoot.c_str(), TRUE)) {
    GTEST_SKIP() << "C:\\Setup.exe exists already and is not ours";
  }
  PathText folder;
  PathText path;
  ASSERT_TRUE(LaunchFolderFromModuleFileName(u"C:\\kavrio.exe", folder));
  ASSERT_TRUE(JoinInstallerPath(folder.CStr(), kHomeSetupSuffix, path));
  ASSERT_EQ(path.View(), u"C:\\\\Setup.exe");
  const std::int32_t result = RunProgram(os_, path.CStr(), 0);
  DeleteFileW(atRoot.c_str());
  EXPECT_EQ(result, 0);
  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].path, Utf8(atRoot));
  EXPECT_EQ(records[0].commandLine, Utf8(L"\"" + atRoot + L"\""));
}

}  // namespace
}  // namespace kavrio
