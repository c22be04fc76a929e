// One launcher at a time. AutoRun starts the launcher, and a user who sees nothing yet
// starts it again: the second one brings the first to the front and ends.
#pragma once

namespace kavrio {

// Claims the launchers' named mutex, which exists from Windows 95 on. False when another
// launcher holds it. The claim lasts until this program ends.
bool ClaimSingleLauncher();

// Brings the other launcher's window, or the message box that it shows, to the front,
// restoring the window if it is minimised. Called before this launcher has a window.
void BringRunningLauncherToFront();

}  // namespace kavrio
