// RunProgram and Win32Process against the real Win32 API, starting the stub
// installer that sits beside this exe. The stub appends "<path>\t<command
// line>\t<working folder>" to the file named by KAVRIO_STUB_RECORD.

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "launch/funcoes.h"
#include "launch/launch_folder.h"
#include "launch/win32_process.h"

// The port's methods, not <windows.h>'s A/W macros (this file calls the A forms by name).
#undef CreateProcess
#undef ShellExecuteEx
#undef GetFileAttributes
#undef GetWindowsDirectory
#undef GetModuleFileName

namespace kavrio {
namespace {

struct Record {
  std::string path;
  std::string commandLine;
  std::string workingFolder;
};

std::string ExeFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.rfind('\\'));
}

std::string AnsiToUtf8(const std::string& ansi) {
  wchar_t wide[2 * MAX_PATH];
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, 2 * MAX_PATH);
  char utf8[4 * MAX_PATH];
  WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

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
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    scratch_ = std::string(temp) + "kavrio-launch-" + std::to_string(GetCurrentProcessId());
    RemoveTree(scratch_);
    ASSERT_TRUE(CreateDirectoryA(scratch_.c_str(), nullptr));
    record_ = scratch_ + "\\record.txt";
    SetEnvironmentVariableA("KAVRIO_STUB_RECORD", record_.c_str());
    SetEnvironmentVariableA("KAVRIO_STUB_SLEEP_MS", nullptr);
    SetEnvironmentVariableA("KAVRIO_STUB_EXIT_CODE", nullptr);
  }
  void TearDown() override {
    SetEnvironmentVariableA("KAVRIO_STUB_RECORD", nullptr);
    RemoveTree(scratch_);
  }

  // Copies the stub to scratch\relative (folders made as needed).
  std::string Plant(const std::string& relative) {
    const std::string path = scratch_ + "\\" + relative;
    for (std::size_t at = path.find('\\', scratch_.size() + 1); at != std::string::npos;
         at = path.find('\\', at + 1)) {
      CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    }
    EXPECT_TRUE(CopyFileA((ExeFolder() + "\\stub_installer.exe").c_str(), path.c_str(), FALSE))
        << path;
    return path;
  }

  std::vector<Record> Records() const {
    std::ifstream file(record_, std::ios::binary);
    std::vector<Record> records;
    std::string line;
    while (std::getline(file, line)) {
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
  std::string scratch_;
  std::string record_;
};

TEST_F(ProcessAdapter, StartsAPathWithSpacesNeverTheDecoysAtItsSpacePrefixes) {
  struct Case {
    std::string program;
    std::vector<std::string> decoys;
  } cases[] = {
      {"Agente Plimox\\Instalador Assistente Kavrio.exe",
       {"Agente.exe", "Agente Plimox\\Instalador.exe"}},
      {"CD Kavrio\\Setup.exe", {"CD.exe"}},
      {"Instala\xE7\xE3o Kavrio\\Setup.exe", {"Instala\xE7\xE3o.exe"}},  // ANSI (Windows-1252)
  };
  SetEnvironmentVariableA("KAVRIO_STUB_EXIT_CODE", "42");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    if (c.program.find('\xE7') != std::string::npos && GetACP() != 1252) continue;
    DeleteFileA(record_.c_str());
    const std::string program = Plant(c.program);
    for (const std::string& decoy : c.decoys) Plant(decoy);

    EXPECT_EQ(RunProgram(os_, program.c_str(), 0), 42);
    const std::vector<Record> records = Records();
    ASSERT_EQ(records.size(), 1u) << "only the program itself runs";
    EXPECT_EQ(records[0].path, AnsiToUtf8(program));
    EXPECT_EQ(records[0].commandLine, AnsiToUtf8("\"" + program + "\""));
    EXPECT_EQ(records[0].workingFolder, "C:\\");
  }
}

// Proves that the decoy above is a real trap: the system's own splitting of
// an unquoted command line starts it.
TEST_F(ProcessAdapter, AnUnquotedCommandLineWouldStartTheDecoy) {
  const std::string program = Plant("Agente Plimox\\Instalador Assistente Kavrio.exe");
  const std::string decoy = Plant("Agente.exe");
  std::string commandLine = program;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE,
                             NORMAL_PRIORITY_CLASS, nullptr, "C:\\", &startup, &info));
  WaitForSingleObject(info.hProcess, 20000);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].path, decoy);
}

TEST_F(ProcessAdapter, WaitModeOneReturnsStillActiveWhileTheStubRuns) {
  const std::string program = Plant("Still Running\\StillRunning.exe");
  SetEnvironmentVariableA("KAVRIO_STUB_SLEEP_MS", "3000");
  SetEnvironmentVariableA("KAVRIO_STUB_EXIT_CODE", "42");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunProgram(os_, program.c_str(), kDoNotWait), 259);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
  const std::vector<Record> records = AwaitRecords(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].path, program);
  WaitForProcessesNamed("StillRunning.exe");
}

TEST_F(ProcessAdapter, OtherWaitModesReturnTheStubsExitCode) {
  struct Case {
    std::int16_t waitMode;
    const char* exitCode;
    std::int32_t result;
  } cases[] = {{0, "42", 42}, {2, "7", 7}, {-1, "0", 0}, {32767, "-5", -5}};
  const std::string program = Plant("Setup.exe");
  SetEnvironmentVariableA("KAVRIO_STUB_SLEEP_MS", "300");  // ends after the wait began
  for (const Case& c : cases) {
    SCOPED_TRACE(c.waitMode);
    SetEnvironmentVariableA("KAVRIO_STUB_EXIT_CODE", c.exitCode);
    EXPECT_EQ(RunProgram(os_, program.c_str(), c.waitMode), c.result);
  }
  EXPECT_EQ(Records().size(), 4u);
}

TEST_F(ProcessAdapter, AProgramThatCannotStartReturnsMinusOne) {
  const std::string text = scratch_ + "\\Text.exe";
  std::ofstream(text) << "not a program";
  struct Case {
    std::string path;
    std::int16_t waitMode;
  } cases[] = {{scratch_ + "\\Missing.exe", kDoNotWait},
               {scratch_ + "\\No Folder\\Setup.exe", 0},
               {"Z:\\nowhere\\kavrio-missing\\Setup.exe", 0},
               {scratch_, kDoNotWait},  // a folder
               {text, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(RunProgram(os_, c.path.c_str(), c.waitMode), -1) << c.path;
  }
  EXPECT_TRUE(Records().empty());
}

TEST_F(ProcessAdapter, LeavesNoHandleOpenAfterManyCalls) {
  const std::string missing = scratch_ + "\\Missing.exe";
  const std::string program = Plant("Setup.exe");
  RunProgram(os_, missing.c_str(), kDoNotWait);  // first-use allocations happen here
  EXPECT_EQ(RunProgram(os_, program.c_str(), 0), 0);
  const DWORD before = HandleCount();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(RunProgram(os_, missing.c_str(), kDoNotWait), -1);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(RunProgram(os_, program.c_str(), 0), 0);
  EXPECT_EQ(HandleCount(), before);
  EXPECT_EQ(Records().size(), 21u);
}

// The second road after ERROR_ELEVATION_REQUIRED, on the real shell. No
// prompt appears here: the stub asks for no elevation.
TEST_F(ProcessAdapter, ShellExecuteExStartsTheSameFileInTheGivenFolder) {
  const std::string program = Plant("Agente Plimox\\Instalador Assistente Kavrio.exe");
  Plant("Agente.exe");
  SetEnvironmentVariableA("KAVRIO_STUB_EXIT_CODE", "42");
  OsHandle process = 0;
  std::uint32_t error = 0;
  ASSERT_TRUE(os_.ShellExecuteEx(program.c_str(), "C:\\", &process, &error)) << error;
  ASSERT_NE(process, 0u);
  EXPECT_EQ(os_.WaitForSingleObject(process, kInfinite), kWaitObject0);
  std::uint32_t exitCode = 0;
  EXPECT_TRUE(os_.GetExitCodeProcess(process, &exitCode));
  EXPECT_EQ(exitCode, 42u);
  EXPECT_TRUE(os_.CloseHandle(process));
  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].path, program);
  EXPECT_EQ(records[0].workingFolder, "C:\\");

  const std::string missing = scratch_ + "\\Missing.exe";
  EXPECT_FALSE(os_.ShellExecuteEx(missing.c_str(), "C:\\", &process, &error));
  EXPECT_EQ(process, 0u);
  EXPECT_EQ(error, kErrorFileNotFound);
}

// The same answers that the host fake gives.
TEST_F(ProcessAdapter, QueriesAnswerAsTheFakeDoes) {
  const std::string file = Plant("Setup.exe");
  EXPECT_NE(os_.GetFileAttributes("C:\\") & kFileAttributeDirectory, 0u);
  EXPECT_NE(os_.GetFileAttributes("C:\\"), kInvalidFileAttributes);
  EXPECT_EQ(os_.GetFileAttributes(file.c_str()) & kFileAttributeDirectory, 0u);
  EXPECT_EQ(os_.GetFileAttributes((scratch_ + "\\Missing").c_str()), kInvalidFileAttributes);

  char buffer[MAX_PATH];
  const std::uint32_t windowsLength = os_.GetWindowsDirectory(buffer, MAX_PATH);
  ASSERT_GT(windowsLength, 2u);
  EXPECT_EQ(std::string(buffer).substr(1, 2), ":\\");
  EXPECT_EQ(os_.GetWindowsDirectory(buffer, 2), windowsLength + 1) << "too small: size needed";

  const std::uint32_t moduleLength = os_.GetModuleFileName(buffer, MAX_PATH);
  EXPECT_EQ(moduleLength, std::string(buffer).size());
  EXPECT_EQ(os_.GetModuleFileName(buffer, 4), 4u) << "too small: the size given";

  char folder[kMaxPath];
  ASSERT_TRUE(CurrentLaunchFolder(os_, folder, sizeof folder));
  EXPECT_EQ(std::string(folder), ExeFolder());
}

// A launch folder at a drive root, as on the CD: "C:\" + "\Setup.exe". (Wine's
// DefineDosDevice accepts a new drive letter, but its file names never reach it.)
TEST_F(ProcessAdapter, StartsTheInstallerAtTheRootOfADrive) {
  const std::string atRoot = "C:\\Setup.exe";
  if (!CopyFileA((ExeFolder() + "\\stub_installer.exe").c_str(), atRoot.c_str(), TRUE)) {
    GTEST_SKIP() << atRoot << " exists already and is not ours";
  }
  char folder[kMaxPath];
  char path[kMaxPath];
  ASSERT_TRUE(LaunchFolderFromModuleFileName("C:\\kavrio.exe", folder, sizeof folder));
  ASSERT_TRUE(JoinInstallerPath(folder, kHomeSetupSuffix, path, sizeof path));
  ASSERT_STREQ(path, "C:\\\\Setup.exe");
  const std::int32_t result = RunProgram(os_, path, 0);
  DeleteFileA(atRoot.c_str());
  EXPECT_EQ(result, 0);
  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].path, atRoot);
  EXPECT_EQ(records[0].commandLine, "\"" + atRoot + "\"");
}

}  // namespace
}  // namespace kavrio
