// kavrio.exe: the start-up launcher of the installation CD. The menu window is the start
// object; its load step decides between the menu and the browser prompt.
#include <windows.h>
#include <commctrl.h>

#include "launch/launch_folder.h"
#include "launch/win32_process.h"
#include "registry/win32_registry.h"
#include "windows/frm_aplicacao.h"
#include "windows/frm_ie.h"
#include "windows/frm_principal.h"
#include "windows/win32_window_system.h"

namespace {

// An error that reached the load step: shown with its number and description, then the
// program ends.
void ReportUnhandledError(const kavrio::RaisedError& error) {
  char text[256];
  wsprintfA(text, "Ocorreu um erro inesperado e o programa será encerrado.\r\n\r\nErro %ld: %s",
            static_cast<long>(error.number), error.description);
  MessageBoxA(nullptr, text, "Kavrio", MB_OK | MB_ICONERROR);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace kavrio;
  InitCommonControls();

  Win32Registry registry;
  Win32Process process;
  char launchFolder[kMaxPath] = "";
  CurrentLaunchFolder(process, launchFolder, sizeof launchFolder);
  const LaunchContext launch{process, launchFolder};

  Win32WindowSystem windows(instance);
  FrmIE browserPrompt(windows, launch);
  FrmAplicacao businessWindow(windows, launch);
  FrmPrincipal menu(windows, launch, browserPrompt, businessWindow);

  windows.Create(menu);
  RaisedError raised = {};
  if (!menu.Load(registry, &raised)) {
    ReportUnhandledError(raised);
    windows.EndProgram();
  }
  // The prompt road dismissed the menu without showing it.
  if (menu.native) windows.Show(menu);
  windows.RunUntilLastWindowGone();
  return 0;
}
