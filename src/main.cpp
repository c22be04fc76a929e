// kavrio.exe: the start-up launcher of the installation CD. The menu window is the start
// object; its load step decides between the menu and the browser prompt.
#include <windows.h>

#include "launch/launch_folder.h"
#include "launch/start_installer.h"
#include "launch/win32_process.h"
#include "registry/win32_registry.h"
#include "win32/run_time_calls.h"
#include "forms/frm_aplicacao.h"
#include "forms/frm_ie.h"
#include "forms/frm_principal.h"
#include "windows/win32_single_launcher.h"
#include "windows/win32_window_system.h"

namespace {

// An error that reached the load step: shown with its number and description, then the
// program ends.
void ReportUnhandledError(kavrio::Win32WindowSystem& windows, const kavrio::RaisedError& error) {
  char text[256];
  wsprintfA(text, "Ocorreu um erro inesperado e o programa será encerrado.\r\n\r\nErro %ld: %s",
            static_cast<long>(error.number), error.description);
  windows.ReportError(text, "Kavrio");
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace kavrio;
  if (!ClaimSingleLauncher()) {
    BringRunningLauncherToFront();
    return 0;
  }
  if (FindComctl32Calls()) Calls().InitCommonControls();

  Win32Registry registry;
  Win32Process process;
  // A folder that cannot be known stays "": then no installer is started at all.
  char16_t launchFolder[kMaxPath] = u"";
  CurrentLaunchFolder(process, launchFolder, kMaxPath);
  const LaunchContext launch{process, launchFolder};

  Win32WindowSystem windows(instance);
  FrmIE browserPrompt(windows, launch);
  FrmAplicacao businessWindow(windows, launch);
  FrmPrincipal menu(windows, launch, browserPrompt, businessWindow);

  windows.Create(menu);
  const OrRaised<BrowserRoad> road = menu.Load(registry);
  if (road.raised) {
    ReportUnhandledError(windows, *road.raised);
    windows.EndProgram();
  }
  // On the prompt road the menu was dismissed without being shown.
  if (road.value == BrowserRoad::Menu) windows.Show(menu);
  windows.RunUntilLastWindowGone();
  return 0;
}
