// Fuzzes the path clean-up, the launch folder and RunProgram over FakeProcess, whose every
// answer comes from the input. The input, read front to back (see FuzzInput):
//   byte 0   what the system does; each set bit is a failure: bit 0 CreateProcess fails,
//            bit 1 ShellExecuteEx fails, bit 2 the shell starts no process, bit 3 the program
//            ended before the first wait, bit 4 its exit code cannot be read, bit 5 "C:\" is
//            missing
//   byte 1   CreateProcess's error: 0 elevation required (740), 1 file not found, 2 access
//            denied, 3 cancelled, any other that number
//   byte 2   the attributes of "C:\": 0x16 (a hidden system folder) xor this byte
//   byte 3   the exit code: 0, 259 (STILL_ACTIVE), 0xFFFFFFFF, or that number
//   byte 4   what is started (mod 4): 0 to 2 the home, support-agent or browser installer
//            through CurrentLaunchFolder and StartInstaller; 3 the program text through
//            RunProgram
//   byte 5   RunProgram's wait mode, signed
//   bytes 6-7  the size of the pieces in which the texts are appended to a FixedText,
//            mod 600
//   then three texts: the Windows folder, the module file name and the program text.
// After each call: every handle closed, none misused; nothing started outside the launch
// folder; the results as the headers document them; every text whole or refused.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fake_process.h"
#include "fuzz_input.h"
#include "launch/fixed_text.h"
#include "launch/funcoes.h"
#include "launch/launch_folder.h"
#include "text_for_tests.h"

namespace kavrio::fuzz {
namespace {

using fakes::FakeProcess;

// Names longer than MAX_PATH, so that every "does not fit" road is reached.
constexpr std::size_t kMaxTextLength = 3 * kMaxPath;
constexpr std::size_t kMaxPieceSize = 600;

const char16_t* const kSuffixes[] = {kHomeSetupSuffix, kSupportAgentSetupSuffix,
                                     kBrowserSetupSuffix};

std::string Shown(const std::u16string& text) { return "\"" + Utf8(text) + "\""; }

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// The clean-up as its header words it, counted by runs: a run of k separators becomes
// ceil(k / 2), except that a path beginning with "\\" keeps those two and the rest of its
// first run is halved after them.
std::u16string ExpectedClean(const std::u16string& path) {
  std::u16string cleaned;
  std::size_t at = 0;
  bool first = true;
  while (at < path.size()) {
    if (path[at] != u'\\') {
      cleaned += path[at++];
      first = false;
      continue;
    }
    std::size_t run = 0;
    while (at + run < path.size() && path[at + run] == u'\\') ++run;
    at += run;
    if (first && run >= 2) {
      cleaned += u"\\\\";
      run -= 2;
    }
    cleaned.append((run + 1) / 2, u'\\');
    first = false;
  }
  return cleaned;
}

// "X:\..." or "\\x...": a place that does not depend on the current drive or folder.
bool ExpectedAbsolute(const std::u16string& path) {
  const bool driveRoot =
      path.size() >= 3 && IsLetter(path[0]) && path[1] == u':' && path[2] == u'\\';
  const bool network = path.size() >= 3 && path[0] == u'\\' && path[1] == u'\\';
  return driveRoot || network;
}

// The folder of a module file name: up to its last separator, which stays only after "X:".
std::optional<std::u16string> ExpectedFolderOf(const std::u16string& moduleFileName) {
  const std::size_t last = moduleFileName.rfind(u'\\');
  if (last == std::u16string::npos) return std::nullopt;
  std::size_t length = last;
  if (length > 0 && moduleFileName[length - 1] == u':') ++length;
  if (length == 0) return std::nullopt;
  return moduleFileName.substr(0, length);
}

// GetModuleFileNameW's name, unless it is empty or was cut at MAX_PATH.
std::optional<std::u16string> ExpectedLaunchFolder(const std::u16string& moduleFileName) {
  if (moduleFileName.empty() || moduleFileName.size() >= kMaxPath) return std::nullopt;
  return ExpectedFolderOf(moduleFileName);
}

// A copy in a buffer of exactly its size, so that ASan sees any read past the NUL.
std::vector<char16_t> Terminated(const std::u16string& text) {
  std::vector<char16_t> copy(text.begin(), text.end());
  copy.push_back(u'\0');
  return copy;
}

void CheckHandles(const FakeProcess& os, const char* after) {
  KAVRIO_CHECK(os.OpenHandles() == 0, std::string("a handle was left open by ") + after);
  KAVRIO_CHECK(os.misuses == 0, std::string("an empty or closed handle was used by ") + after);
}

// A text held by a FixedText: its own units, NUL-terminated, shorter than its capacity.
template <std::size_t Capacity>
std::u16string Held(const FixedText<Capacity>& text, const std::string& detail) {
  const std::u16string_view view = text.View();
  KAVRIO_CHECK(view.size() < Capacity && text.CStr()[view.size()] == u'\0',
               "a text that overruns its capacity or lacks its NUL: " + detail);
  return std::u16string(view);
}

// FixedText's Append, the text given in pieces of `pieceSize` units (0: whole): each piece
// goes in whole when it fits with the NUL, and is refused without a trace when it does not.
void CheckAppendInPieces(const std::u16string& text, std::size_t pieceSize) {
  PathText held;
  std::u16string expected;
  const std::size_t step = pieceSize == 0 ? text.size() + 1 : pieceSize;
  for (std::size_t at = 0; at < text.size(); at += step) {
    const std::u16string piece = text.substr(at, step);
    const bool fits = expected.size() + piece.size() < kMaxPath;
    KAVRIO_CHECK(held.Append(piece) == fits, Shown(piece) + " after " + Shown(expected));
    if (fits) expected += piece;
    KAVRIO_CHECK(Held(held, Shown(text)) == expected, "gave " + Shown(Held(held, "")));
  }
}

// CleanProgramPath: the path cleaned, or, when that does not fit, refused and empty.
void CheckCleanProgramPath(const std::u16string& path) {
  const std::vector<char16_t> input = Terminated(path);
  PathText out;
  const bool fits = CleanProgramPath(input.data(), out);
  const std::u16string cleaned = Held(out, Shown(path));
  KAVRIO_CHECK(cleaned.size() <= path.size(), "longer than its input: " + Shown(path));

  const std::u16string expected = ExpectedClean(path);
  KAVRIO_CHECK(fits == (expected.size() < kMaxPath), Shown(path));
  KAVRIO_CHECK(cleaned == (fits ? expected : u""),
               Shown(path) + " gave " + Shown(cleaned) + ", expected " + Shown(expected));
}

// LaunchFolderFromModuleFileName: the folder, or, when there is none or it does not fit,
// refused and empty.
void CheckLaunchFolder(const std::u16string& moduleFileName) {
  const std::vector<char16_t> input = Terminated(moduleFileName);
  PathText out;
  const bool found = LaunchFolderFromModuleFileName(input.data(), out);
  const std::optional<std::u16string> expected = ExpectedFolderOf(moduleFileName);
  KAVRIO_CHECK(found == (expected && expected->size() < kMaxPath), Shown(moduleFileName));
  const std::u16string folder = Held(out, Shown(moduleFileName));
  KAVRIO_CHECK(folder == (found ? *expected : u""),
               Shown(moduleFileName) + " gave " + Shown(folder));
}

struct System {
  bool createFails;
  std::uint32_t createError;
  bool shellFails;
  bool shellGivesNoProcess;
  bool endedBeforeWait;
  bool exitCodeUnreadable;
  std::optional<std::uint32_t> attributesOfC;
  std::uint32_t exitCode;
  std::u16string windowsDirectory;
};

void Configure(FakeProcess& os, const System& system) {
  os.createSucceeds = !system.createFails;
  os.createError = system.createError;
  os.shellSucceeds = !system.shellFails;
  os.shellGivesProcess = !system.shellGivesNoProcess;
  os.endedBeforeWait = system.endedBeforeWait;
  os.exitCodeReadable = !system.exitCodeUnreadable;
  os.exitCode = system.exitCode;
  os.fileAttributes.clear();
  if (system.attributesOfC) os.fileAttributes[u"C:\\"] = *system.attributesOfC;
  os.windowsDirectory = system.windowsDirectory;
}

// "C:\" when it is a folder, else the root of the drive that holds Windows, else none.
std::optional<std::u16string> ExpectedWorkingFolder(const System& system) {
  if (system.attributesOfC && *system.attributesOfC != kInvalidFileAttributes &&
      (*system.attributesOfC & kFileAttributeDirectory) != 0) {
    return u"C:\\";
  }
  const std::u16string& windows = system.windowsDirectory;
  if (windows.size() < 2 || windows.size() >= kMaxPath || !IsLetter(windows[0]) ||
      windows[1] != u':') {
    return std::nullopt;
  }
  return windows.substr(0, 2) + u"\\";
}

// One start of the program at application name `path`: create, or the shell after a
// refusal for elevation, then one wait and the exit code.
std::int32_t CheckOneStart(const FakeProcess& os, const System& system, const std::u16string& path,
                           std::int16_t waitMode) {
  KAVRIO_CHECK(os.creates.size() == 1, Shown(path));
  const FakeProcess::CreateCall& create = os.creates[0];
  KAVRIO_CHECK(create.applicationName == path,
               "application " + Shown(create.applicationName.value_or(u"(null)")) + ", expected " +
                   Shown(path));
  KAVRIO_CHECK(create.commandLine == u"\"" + path + u"\"",
               "command line " + Shown(create.commandLine) + " for " + Shown(path));
  KAVRIO_CHECK(create.creationFlags == kNormalPriorityClass, Shown(path));
  const std::optional<std::u16string> folder = ExpectedWorkingFolder(system);
  KAVRIO_CHECK(create.currentDirectory == folder,
               "working folder " + Shown(create.currentDirectory.value_or(u"(null)")));

  bool gotProcess = !system.createFails;
  const bool retried = system.createFails && system.createError == kErrorElevationRequired;
  KAVRIO_CHECK(os.shellExecutes.size() == (retried ? 1u : 0u), Shown(path));
  if (retried) {
    KAVRIO_CHECK(os.shellExecutes[0].file == path, Shown(os.shellExecutes[0].file));
    KAVRIO_CHECK(os.shellExecutes[0].directory == folder, Shown(path));
    gotProcess = !system.shellFails && !system.shellGivesNoProcess;
  }
  if (!gotProcess) {
    KAVRIO_CHECK(os.waits.empty(), "a wait without a process");
    return kNotStarted;
  }
  const std::uint32_t timeOut = waitMode == kDoNotWait ? 0 : kInfinite;
  KAVRIO_CHECK(os.waits == std::vector<std::uint32_t>{timeOut},
               "not one wait of " + std::to_string(timeOut));
  if (system.exitCodeUnreadable) return kNotStarted;
  const bool ended = system.endedBeforeWait || timeOut == kInfinite;
  return static_cast<std::int32_t>(ended ? system.exitCode : kStillActive);
}

void CheckRunProgram(const System& system, const std::u16string& program, std::int16_t waitMode) {
  FakeProcess os;
  Configure(os, system);
  const std::vector<char16_t> input = Terminated(program);
  const std::int32_t result = RunProgram(os, input.data(), waitMode);
  CheckHandles(os, "RunProgram");

  const std::u16string cleaned = ExpectedClean(program);
  if (cleaned.empty() || cleaned.size() >= kMaxPath) {
    KAVRIO_CHECK(os.creates.empty() && os.shellExecutes.empty(),
                 "started a path that is empty or too long: " + Shown(program));
    KAVRIO_CHECK(result == kNotStarted, std::to_string(result));
    return;
  }
  const std::int32_t expected = CheckOneStart(os, system, cleaned, waitMode);
  KAVRIO_CHECK(result == expected,
               "result " + std::to_string(result) + ", expected " + std::to_string(expected));
}

// From the module file name to the installer that is started, as main and the windows do it.
void CheckStartInstaller(const System& system, const std::u16string& moduleFileName,
                         const char16_t* suffixText) {
  FakeProcess os;
  Configure(os, system);
  os.moduleFileName = moduleFileName;

  PathText launchFolder;
  const bool known = CurrentLaunchFolder(os, launchFolder);
  CheckHandles(os, "CurrentLaunchFolder");
  const std::u16string folder = Held(launchFolder, Shown(moduleFileName));
  const std::optional<std::u16string> expectedFolder = ExpectedLaunchFolder(moduleFileName);
  KAVRIO_CHECK(known == expectedFolder.has_value() && folder == expectedFolder.value_or(u""),
               "module " + Shown(moduleFileName) + " gave folder " + Shown(folder));

  const std::u16string suffix = suffixText;
  StartInstaller(LaunchContext{os, launchFolder.CStr()}, suffixText);
  CheckHandles(os, "StartInstaller");

  const auto detail = [&] {
    return "module " + Shown(moduleFileName) + ", folder " + Shown(folder);
  };
  if (!known) {
    KAVRIO_CHECK(os.creates.empty() && os.shellExecutes.empty(),
                 "started something without a launch folder: " + detail());
    return;
  }
  const bool startable = ExpectedAbsolute(folder) && folder.size() + suffix.size() < kMaxPath;
  if (!startable) {
    KAVRIO_CHECK(os.creates.empty() && os.shellExecutes.empty(),
                 "started " +
                     Shown(os.creates.empty() ? u"" : os.creates[0].applicationName.value_or(u"")) +
                     " from a folder that is relative or too long: " + detail());
    return;
  }
  KAVRIO_CHECK(os.creates.size() == 1, "nothing started: " + detail());
  const std::u16string application = os.creates[0].applicationName.value_or(u"");
  // It lies in the launch folder: the cleaned folder, then the suffix, whose separator may
  // have merged with the separators that end the folder.
  const std::u16string cleanedFolder = ExpectedClean(folder);
  const std::u16string rest =
      application.substr(std::min(application.size(), cleanedFolder.size()));
  KAVRIO_CHECK(application.compare(0, cleanedFolder.size(), cleanedFolder) == 0 &&
                   (rest == suffix || rest == suffix.substr(1)),
               "started " + Shown(application) + " outside the launch folder: " + detail());
  KAVRIO_CHECK(ExpectedAbsolute(application) && IsAbsoluteFolder(application.c_str()),
               "started a relative path " + Shown(application) + ": " + detail());
  CheckOneStart(os, system, ExpectedClean(folder + suffix), kDoNotWait);
}

}  // namespace
}  // namespace kavrio::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kavrio;
  using namespace kavrio::fuzz;
  using namespace kavrio::win32_codes;
  FuzzInput input(data, size);

  const std::uint8_t failures = input.Byte();
  const std::uint8_t errorChoice = input.Byte();
  const std::uint8_t attributes = input.Byte();
  const std::uint8_t exitChoice = input.Byte();
  const std::uint8_t action = input.Byte() % 4;
  const auto waitMode = static_cast<std::int16_t>(static_cast<std::int8_t>(input.Byte()));
  const std::size_t pieceSize = input.U16() % kMaxPieceSize;

  static constexpr std::uint32_t kErrors[] = {kErrorElevationRequired, kErrorFileNotFound, 5,
                                              kErrorCancelled};
  static constexpr std::uint32_t kExitCodes[] = {0, kStillActive, 0xFFFFFFFFu};
  System system;
  system.createFails = (failures & 0x01) != 0;
  system.shellFails = (failures & 0x02) != 0;
  system.shellGivesNoProcess = (failures & 0x04) != 0;
  system.endedBeforeWait = (failures & 0x08) != 0;
  system.exitCodeUnreadable = (failures & 0x10) != 0;
  if ((failures & 0x20) == 0) system.attributesOfC = 0x16u ^ attributes;
  system.createError = errorChoice < 4 ? kErrors[errorChoice] : errorChoice;
  system.exitCode = exitChoice < 3 ? kExitCodes[exitChoice] : exitChoice;
  system.windowsDirectory = input.Text16(kMaxTextLength);
  const std::u16string moduleFileName = input.Text16(kMaxTextLength);
  const std::u16string program = input.Text16(kMaxTextLength);

  CheckAppendInPieces(program, pieceSize);
  CheckCleanProgramPath(moduleFileName);
  CheckCleanProgramPath(program);
  CheckLaunchFolder(moduleFileName);
  if (action == 3) {
    CheckRunProgram(system, program, waitMode);
  } else {
    CheckStartInstaller(system, moduleFileName, kSuffixes[action]);
  }
  return 0;
}
