// The cell as the launcher meets it, read back after the set-up rather than taken from what
// was written: the Windows version that the launcher's process is told, whether D: is a
// CD-ROM drive, the DPI and colours that a program started after the set-up sees, and the
// browser's version as the launcher's registry view reads it. A run whose cell is not what
// its label says fails.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "cell.h"

namespace preflight {

// Each fact is read, or it says why it could not be.
struct ToldWindows {
  bool read = false;
  DWORD major = 0;
  DWORD minor = 0;
  DWORD platform = 0;
  std::wstring unread;
};

struct FreshProgram {
  bool read = false;
  DWORD dpi = 0;
  std::vector<std::pair<int, COLORREF>> colours;  // (element, colour)
  std::wstring unread;
};

struct BrowserSeen {
  bool read = false;
  bool key = false;
  DWORD type = REG_NONE;  // of the Version value; REG_NONE: the key has none
  std::wstring version;   // the text of a REG_SZ value
  std::wstring unread;
};

struct CellReadBack {
  ToldWindows windows;
  UINT driveType = DRIVE_UNKNOWN;  // of D:
  FreshProgram fresh;
  BrowserSeen browser;
};

// The version fields of the process's PEB (the 32-bit one: the launcher is a 32-bit program).
ToldWindows ReadToldWindows(HANDLE process);
// Starts cell_probe.exe, which lies beside this program, and reads what it saw.
FreshProgram ProbeFreshProgram();
// HKLM\Software\Microsoft\Internet Explorer's Version as this 32-bit process reads it: through
// the view that the shipped 32-bit launcher reads.
BrowserSeen ReadBrowser();

// The system colours that the cell promises: the high-contrast scheme, or as they are.
std::vector<std::pair<int, COLORREF>> PromisedColours(const Cell& cell);

// One line for each way in which the read-back differs from the cell; none when the cell
// is what its label says. `colours`: as PromisedColours gives them.
std::vector<std::wstring> CellDifferences(const Cell& cell, const CellReadBack& seen,
                                          const std::vector<std::pair<int, COLORREF>>& colours);

}  // namespace preflight
