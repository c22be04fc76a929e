// kavrio.exe: the start-up launcher of the installation CD. The menu window is the start
// object; its load step decides between the menu and the browser prompt.
#include <windows.h>

#include "forms/frm_aplicacao.h"
#include "forms/frm_ie.h"
#include "forms/frm_principal.h"
#include "launch/funcoes.h"
#include "launch/launch_folder.h"
#include "launch/win32_process.h"
#include "registry/win32_registry.h"
#include "win32/dll_search.h"
#include "windows/win32_single_launcher.h"
#include "windows/win32_window_system.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace kavrio;
  if (!ClaimSingleLauncher()) {
    BringRunningLauncherToFront();
    return 0;
  }
  StartCommonControls();

  Win32Registry registry;
  Win32Process process;
  // A folder that cannot be known stays "": then no installer is started at all.
  PathText launchFolder;
  CurrentLaunchFolder(process, launchFolder);
  const LaunchContext launch{process, launchFolder.CStr()};

  Win32WindowSystem windows(instance);
  FrmIE browserPrompt(windows, launch);
  FrmAplicacao businessWindow(windows, launch);
  FrmPrincipal menu(windows, launch, browserPrompt, businessWindow);

  const OrRaised<BrowserRoad> road = menu.Load(registry);
  if (road.raised) windows.ReportUnhandledError(*road.raised);
  // On the prompt road the menu was dismissed without being shown.
  if (road.value == BrowserRoad::Menu) windows.Show(menu);
  windows.RunUntilLastWindowGone();
  return 0;
}
