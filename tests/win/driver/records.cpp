// What the stand-in installers and the marker DLL recorded: one UTF-8 line each, its fields
// split by tabs.
#include <sstream>

#include "driver.h"
#include "records.h"
#include "utf8.h"
#include "win32/scoped_handle.h"

namespace launcher_driver {

namespace {

// A line of the record file, split at its tabs into `fields` texts; false for a line with
// fewer.
bool SplitLine(const std::string& line, std::size_t fields, std::vector<std::wstring>& split) {
  std::size_t start = 0;
  while (split.size() + 1 < fields) {
    const std::size_t tab = line.find('\t', start);
    if (tab == std::string::npos) return false;
    split.push_back(FromUtf8(line.substr(start, tab - start)));
    start = tab + 1;
  }
  split.push_back(FromUtf8(line.substr(start)));
  return true;
}

// The whole file; "" for one that is not there, which means nothing was recorded.
std::string ReadRecordFile(const wchar_t* path) {
  const kavrio::ScopedHandle file(CreateFileW(path, GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  if (!file) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      NoteFailedCall(std::wstring(L"reading ") + path, CallFailed(L"CreateFileW", error));
    }
    return bytes;
  }
  char buffer[4096];
  DWORD got = 0;
  BOOL read = FALSE;
  while ((read = ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) && got > 0) {
    bytes.append(buffer, got);
  }
  if (!read) NoteFailedCall(std::wstring(L"reading ") + path, CallFailed(L"ReadFile"));
  return bytes;
}

std::vector<std::vector<std::wstring>> RecordLines(const wchar_t* path, std::size_t fields) {
  std::vector<std::vector<std::wstring>> lines;
  std::istringstream text(ReadRecordFile(path));
  std::string line;
  while (std::getline(text, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::wstring> split;
    if (SplitLine(line, fields, split)) lines.push_back(split);
  }
  return lines;
}

std::wstring DeleteRecordFile(const wchar_t* path) {
  if (DeleteFileW(path) || GetLastError() == ERROR_FILE_NOT_FOUND ||
      GetLastError() == ERROR_PATH_NOT_FOUND) {
    return L"";
  }
  return CallFailed(L"DeleteFileW");
}

}  // namespace

std::wstring ClearStarts() { return DeleteRecordFile(kRecordFile); }

std::vector<StartRecord> Starts() {
  std::vector<StartRecord> starts;
  for (const std::vector<std::wstring>& fields : RecordLines(kRecordFile, 3)) {
    starts.push_back({fields[0], fields[1], fields[2]});
  }
  return starts;
}

std::vector<StartRecord> WaitForStarts(std::size_t count, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  std::vector<StartRecord> starts = Starts();
  while (starts.size() < count && GetTickCount() - start < milliseconds) {
    Sleep(50);
    starts = Starts();
  }
  return starts;
}

std::wstring ClearPlantedLoads() { return DeleteRecordFile(kPlantedFile); }

std::vector<PlantedLoad> PlantedLoads() {
  std::vector<PlantedLoad> loads;
  for (const std::vector<std::wstring>& fields : RecordLines(kPlantedFile, 2)) {
    loads.push_back({fields[0], fields[1]});
  }
  return loads;
}

}  // namespace launcher_driver
