// Resource ids shared by the .rc file and the code (plain defines: windres reads this too).
#pragma once

// The launcher icon has the lowest id, so that it is also the program file's icon.
#define kIconLauncher 1
#define kBitmapPrincipal 101
#define kBitmapAplicacao 102
