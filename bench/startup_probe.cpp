// Measures how long a GUI program takes from process creation to its window
// being visible, and its peak working set at that moment.
//
//   startup_probe [--runs N] [--warmup N] [--timeout-ms N] [--title TEXT]
//                 --target NAME PATH CLIENT_WIDTH CLIENT_HEIGHT [--target ...]
//
// The targets are run interleaved, their order rotated by one from round to round
// so that none always runs right after the same other. Each run prints one line:
//   sample NAME ROUND MILLISECONDS PEAK_WORKING_SET_BYTES
// (warm-up runs print "warmup" instead of "sample"). A run that fails prints
// "error NAME ROUND REASON" and the probe exits with 1 after the remaining runs.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Target {
  const char* name;
  const char* path;
  int client_width;
  int client_height;
};

struct Options {
  int runs = 20;
  int warmup = 2;
  DWORD timeout_ms = 20000;
  const char* title = "Kavrio";
  std::vector<Target> targets;
};

struct WindowSearch {
  DWORD process_id;
  const Options* options;
  const Target* target;
  HWND found;
  int last_width;  // size of the last visible window of the process, for the report
  int last_height;
};

BOOL CALLBACK MatchTargetWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process_id || !IsWindowVisible(window)) return TRUE;
  RECT client;
  if (!GetClientRect(window, &client)) return TRUE;
  search->last_width = client.right - client.left;
  search->last_height = client.bottom - client.top;
  if (search->last_width != search->target->client_width ||
      search->last_height != search->target->client_height) {
    return TRUE;
  }
  // For another process's window this reads the stored caption; it sends no message.
  char title[128] = {};
  GetWindowTextA(window, title, sizeof title);
  if (std::strcmp(title, search->options->title) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

double MillisecondsBetween(LARGE_INTEGER start, LARGE_INTEGER end) {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// The folder part of a Windows path, so that the program starts in its own folder.
void FolderOf(const char* path, char* folder, size_t size) {
  std::snprintf(folder, size, "%s", path);
  char* last = std::strrchr(folder, '\\');
  if (last == nullptr) {
    folder[0] = '\0';
  } else if (last == folder + 2 && folder[1] == ':') {
    last[1] = '\0';  // drive root keeps its separator
  } else {
    *last = '\0';
  }
}

// One start of one target. Returns false, with a reason, when the window never
// showed or the program did not end after being asked to close.
bool MeasureOnce(const Options& options, const Target& target, double* milliseconds,
                 SIZE_T* peak_working_set, char* reason, size_t reason_size) {
  char command_line[MAX_PATH + 3];
  std::snprintf(command_line, sizeof command_line, "\"%s\"", target.path);
  char folder[MAX_PATH];
  FolderOf(target.path, folder, sizeof folder);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};

  LARGE_INTEGER started;
  QueryPerformanceCounter(&started);
  if (!CreateProcessA(target.path, command_line, nullptr, nullptr, FALSE, 0, nullptr,
                      folder[0] ? folder : nullptr, &startup, &process)) {
    std::snprintf(reason, reason_size, "CreateProcess failed with error %lu",
                  GetLastError());
    return false;
  }
  CloseHandle(process.hThread);

  WindowSearch search = {process.dwProcessId, &options, &target, nullptr, 0, 0};
  bool ok = false;
  for (;;) {
    EnumWindows(MatchTargetWindow, reinterpret_cast<LPARAM>(&search));
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (search.found) {
      *milliseconds = MillisecondsBetween(started, now);
      ok = true;
      break;
    }
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
      DWORD exit_code = 0;
      GetExitCodeProcess(process.hProcess, &exit_code);
      std::snprintf(reason, reason_size, "ended with code %lu before its window showed",
                    exit_code);
      break;
    }
    if (MillisecondsBetween(started, now) > options.timeout_ms) {
      if (search.last_width || search.last_height) {
        std::snprintf(reason, reason_size,
                      "no visible \"%s\" window of %dx%d; the last one seen was %dx%d",
                      options.title, target.client_width, target.client_height,
                      search.last_width, search.last_height);
      } else {
        std::snprintf(reason, reason_size, "no visible window within %lu ms",
                      options.timeout_ms);
      }
      break;
    }
    Sleep(1);
  }

  if (ok) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters)) {
      *peak_working_set = counters.PeakWorkingSetSize;
    } else {
      std::snprintf(reason, reason_size, "GetProcessMemoryInfo failed with error %lu",
                    GetLastError());
      ok = false;
    }
    PostMessageA(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, options.timeout_ms) != WAIT_OBJECT_0) {
      std::snprintf(reason, reason_size, "did not end after WM_CLOSE");
      ok = false;
    }
  }
  // A program that is still running here failed the run; it must not outlive the probe.
  if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, options.timeout_ms);
  }
  CloseHandle(process.hProcess);
  return ok;
}

bool ParseCount(const char* text, int* value) {
  char* end = nullptr;
  long parsed = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || parsed < 0 || parsed > 100000) return false;
  *value = static_cast<int>(parsed);
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const bool has_value = i + 1 < argc;
    int number = 0;
    if (std::strcmp(arg, "--runs") == 0 && has_value && ParseCount(argv[++i], &number) &&
        number > 0) {
      options->runs = number;
    } else if (std::strcmp(arg, "--warmup") == 0 && has_value &&
               ParseCount(argv[++i], &number)) {
      options->warmup = number;
    } else if (std::strcmp(arg, "--timeout-ms") == 0 && has_value &&
               ParseCount(argv[++i], &number) && number > 0) {
      options->timeout_ms = static_cast<DWORD>(number);
    } else if (std::strcmp(arg, "--title") == 0 && has_value) {
      options->title = argv[++i];
    } else if (std::strcmp(arg, "--target") == 0 && i + 4 < argc) {
      Target target = {argv[i + 1], argv[i + 2], 0, 0};
      if (!ParseCount(argv[i + 3], &target.client_width) ||
          !ParseCount(argv[i + 4], &target.client_height)) {
        return false;
      }
      options->targets.push_back(target);
      i += 4;
    } else {
      return false;
    }
  }
  return !options->targets.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: startup_probe [--runs N] [--warmup N] [--timeout-ms N] [--title T]"
                 " --target NAME PATH CLIENT_WIDTH CLIENT_HEIGHT [--target ...]\n");
    return 2;
  }
  int failures = 0;
  const int rounds = options.warmup + options.runs;
  const int count = static_cast<int>(options.targets.size());
  for (int round = 0; round < rounds; ++round) {
    const bool warmup = round < options.warmup;
    for (int k = 0; k < count; ++k) {
      const Target& target = options.targets[(k + round) % count];
      double milliseconds = 0;
      SIZE_T peak = 0;
      char reason[256] = {};
      if (MeasureOnce(options, target, &milliseconds, &peak, reason, sizeof reason)) {
        std::printf("%s %s %d %.3f %llu\n", warmup ? "warmup" : "sample", target.name, round,
                    milliseconds, static_cast<unsigned long long>(peak));
      } else {
        std::printf("error %s %d %s\n", target.name, round, reason);
        ++failures;
      }
      std::fflush(stdout);
    }
  }
  return failures == 0 ? 0 : 1;
}
