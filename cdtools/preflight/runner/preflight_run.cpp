// Runs D:\kavrio.exe once for one cell of the preflight's matrix and writes what happened
// to <folder>\result.json, beside the screenshots (the folder is KAVRIO_SCREENSHOTS):
//
//   preflight_run --windows MODE --dpi N --browser TEXT|none --colours system|high-contrast
//                 --road NAME
//
// It sets up the cell, starts the launcher, drives the road through its windows with real
// mouse and keyboard input, and reads every window on the way. What the launcher started is
// read from the started process itself; its first window is saved, then it is ended with
// every process that it started (and they end with this program, should it die first).
#include <windows.h>

#include <cstdio>

#include "cell.h"
#include "driver.h"
#include "run_cell.h"
#include "win32/scoped_handle.h"

namespace {

// The exit codes, as cdtools' preflight reads them.
constexpr int kWritten = 0;        // result.json is written, whatever it says
constexpr int kNotWritten = 1;     // it could not be
constexpr int kBadArguments = 2;

bool WriteFileText(const std::wstring& path, const std::string& text) {
  const kavrio::ScopedHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  preflight::Cell cell;
  std::wstring error;
  if (!preflight::ParseCell(argc, argv, cell, error)) {
    std::fprintf(stderr, "preflight_run: %ls\n", error.c_str());
    return kBadArguments;
  }
  const std::vector<std::wstring> setUpFailures = preflight::ApplyCell(cell);
  const preflight::RunResult result = preflight::RunCell(cell, setUpFailures);
  const std::wstring folder = launcher_driver::ScreenshotFolder();
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    std::fprintf(stderr, "preflight_run: cannot make %ls: error %lu\n", folder.c_str(),
                 GetLastError());
    return kNotWritten;
  }
  if (!WriteFileText(folder + L"\\result.json", preflight::ToJson(result))) {
    std::fprintf(stderr, "preflight_run: cannot write %ls\\result.json: error %lu\n",
                 folder.c_str(), GetLastError());
    return kNotWritten;
  }
  return kWritten;
}
