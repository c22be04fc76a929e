// Drives the real kavrio.exe under Wine: lays out the CD on drive D:, sets the browser
// version in the registry, starts the launcher, finds and reads its windows, sends real
// keyboard and mouse input, and reads what the stub installers recorded.
//
// A step that can fail answers with the call that failed ("CopyFileW failed with error 3"),
// or "" when it was done. A call whose failure its caller cannot answer (a key press, a read
// of another process's window) is noted with NoteFailedCall (call_failure.h).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "call_failure.h"
#include "files.h"
#include "job_watch.h"
#include "launch/launch_folder.h"

namespace launcher_driver {

// ---- The CD and the registry -------------------------------------------------------------

// An installer of the CD at drive D:, where the launcher's own suffix puts it.
inline std::wstring OnTheCd(const char16_t* suffix) {
  return L"D:" + std::wstring(reinterpret_cast<const wchar_t*>(suffix));
}
inline const std::wstring kHomeSetup = OnTheCd(kavrio::kHomeSetupSuffix);
inline const std::wstring kAgentSetup = OnTheCd(kavrio::kSupportAgentSetupSuffix);
inline const std::wstring kBrowserSetup = OnTheCd(kavrio::kBrowserSetupSuffix);

// D:\ holds kavrio.exe, and a stub at every installer path (and nothing else).
[[nodiscard]] std::wstring LayOutCd();
// Copies the stub installer to `path` (folders made as needed).
[[nodiscard]] std::wstring PlantStub(const std::wstring& path);
[[nodiscard]] std::wstring CopyLauncherTo(const std::wstring& path);
using win_tier::RemoveFolder;
// The Unix path held by an environment variable, seen through Wine's drive Z: ("" if unset).
std::wstring WinePathFromEnvironment(const char* name);

enum class VersionKind { Text, Dword, Binary, NoValue, NoKey };
struct BrowserVersion {
  VersionKind kind;
  std::wstring text;
  DWORD number;
};
// The view of HKLM\Software that a value goes to. The shipped exe is 32-bit, so on 64-bit
// Windows, as on this 64-bit prefix, it reads the 32-bit view (WOW6432Node).
enum class RegistryView { Shipped32, Native64 };
// Sets HKLM\Software\Microsoft\Internet Explorer\Version for the next start; "" when done,
// else the call that failed.
[[nodiscard]] std::wstring SetBrowserVersion(const BrowserVersion& version,
                                             RegistryView view = RegistryView::Shipped32);
// Sets the DPI that Wine reports to programs started from now on; "" or the call that failed.
[[nodiscard]] std::wstring SetLogPixels(DWORD dpi);

// ---- The launcher process ----------------------------------------------------------------

// The launcher runs in a job of its own: `started` names every process that it starts, and
// every one of them ends with the job, when the Launcher goes.
struct Launcher {
  StartedProcess process;
  JobWatch started;
  ~Launcher();
  // Waits for the process to end; false on time-out.
  bool WaitForExit(DWORD milliseconds = 10000);
  bool Running();
  DWORD ExitCode();
};

struct LaunchOptions {
  std::wstring exe = L"D:\\kavrio.exe";
  std::wstring workingFolder;  // "": the exe's own folder
  // The stub installers append what started them to the tests' record file; without it
  // they show what a subscriber sees, a message box.
  bool recordStarts = true;
};
// "" when the launcher runs in its job, else the call that failed.
[[nodiscard]] std::wstring StartLauncher(Launcher& launcher, const LaunchOptions& options);
[[nodiscard]] std::wstring StartLauncher(Launcher& launcher,
                                         const std::wstring& exe = L"D:\\kavrio.exe");

// Makes Wine report a Windows to programs called `exeName`, by the name of one of its modes
// ("win98", "winxp", "win10", ...), so that they take that Windows' branches; nullptr puts
// the default back. "" when done, else the call that failed.
[[nodiscard]] std::wstring ReportWindowsTo(const wchar_t* exeName, const wchar_t* mode);
// Windows 98 (4.10, the 9x line): the launcher's own 95/98/ME branches.
[[nodiscard]] inline std::wstring ReportWindows98To(const wchar_t* exeName, bool on) {
  return ReportWindowsTo(exeName, on ? L"win98" : nullptr);
}

// ---- DLLs planted on the CD ----------------------------------------------------------------

// The system DLL names that a copied CD might carry beside the launcher.
extern const wchar_t* const kPlantedDllNames[4];
// Copies the marker DLL under each of those names into `folder`.
[[nodiscard]] std::wstring PlantMarkerDlls(const std::wstring& folder);
// Makes Wine prefer such DLLs to its own in programs called `exeName`, as Windows' search
// order would when it looks in the program's folder first; off puts the default back.
[[nodiscard]] std::wstring PreferPlantedDllsIn(const wchar_t* exeName, bool on);
// Each load of a marker DLL: which DLL, into which program.
struct PlantedLoad {
  std::wstring dll;
  std::wstring program;
};
[[nodiscard]] std::wstring ClearPlantedLoads();
std::vector<PlantedLoad> PlantedLoads();
// Copies the probe that loads each planted name the way the default search does.
[[nodiscard]] std::wstring PlantDllProbe(const std::wstring& path);

// ---- Windows -----------------------------------------------------------------------------

// The visible top-level windows of a process (dialogs included).
std::vector<HWND> VisibleWindows(DWORD processId);
// Those of every process on the desktop: a crash dialog of Wine's comes from another one.
std::vector<HWND> VisibleWindowsOfEveryProcess();
// Waits for a visible top-level window of the process with that title and window class
// (nullptr: any class); nullptr on time-out.
HWND WaitForWindow(DWORD processId, const wchar_t* title, const wchar_t* className,
                   DWORD milliseconds = 10000);
// Waits until `window` is no longer a visible window.
bool WaitForWindowGone(HWND window, DWORD milliseconds = 10000);

struct Control {
  HWND window;
  HWND parent;
  std::wstring className;
  std::wstring text;
  LONG style;
  LONG exStyle;
  RECT rect;  // in the client coordinates of the top-level window
};
std::vector<Control> Controls(HWND topLevel);
const Control* FindByText(const std::vector<Control>& controls, const std::wstring& text);
std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);
SIZE ClientSize(HWND window);

// The control that has the keyboard focus in the window's thread.
HWND FocusOf(HWND topLevel);

// ---- Input -------------------------------------------------------------------------------

void BringToFront(HWND window);
void PressKey(WORD key);
void PressAltKey(WORD key);
void ClickCentre(HWND control);
// The close box, as the system menu's Close sends it.
void CloseBox(HWND window);

// ---- What was started --------------------------------------------------------------------

struct StartRecord {
  std::wstring program;
  std::wstring commandLine;
  std::wstring workingFolder;
};
[[nodiscard]] std::wstring ClearStarts();
std::vector<StartRecord> Starts();
// Waits for at least `count` records.
std::vector<StartRecord> WaitForStarts(std::size_t count, DWORD milliseconds = 10000);

// ---- Screenshots -------------------------------------------------------------------------

// KAVRIO_SCREENSHOTS (a Unix path) seen through drive Z:, else screenshots\ beside the exe.
std::wstring ScreenshotFolder();
// Saves the window's on-screen pixels as <screenshot folder>\<name>.bmp; "" when it was
// written whole, else the call that failed.
[[nodiscard]] std::wstring SaveScreenshot(HWND window, const wchar_t* name);

}  // namespace launcher_driver
