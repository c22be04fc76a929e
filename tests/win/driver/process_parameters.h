// What a process was started with, read from the process itself: the program, command line
// and working folder in its PEB's parameters block.
#pragma once

#include <windows.h>

#include "job_watch.h"

namespace launcher_driver {

// Fills watched.program, commandLine and workingFolder (watched.read), or watched.unread
// with why they could not be read; then at least the program file, which the process object
// keeps. A new process's loader sets its parameters up first: they are asked for again, for
// kParametersWait at most, until they are there or the process has ended.
void ReadParameters(HANDLE process, WatchedProcess& watched);

}  // namespace launcher_driver
