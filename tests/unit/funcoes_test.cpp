#include "launch/funcoes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_process.h"
#include "launch/launch_folder.h"

namespace kavrio {
namespace {

using test::FakeProcess;
using Calls = std::vector<std::string>;

void ExpectHandlesBalanced(const FakeProcess& os) {
  EXPECT_EQ(os.OpenHandles(), 0u) << "a handle was left open";
  EXPECT_EQ(os.misuses, 0) << "a call used an empty or closed handle";
}

TEST(CleanProgramPath, CollapsesDoubledSeparatorsButKeepsTheNetworkPrefix) {
  struct Case {
    const char* path;
    const char* cleaned;
  } cases[] = {
      {"D:\\\\Setup.exe", "D:\\Setup.exe"},  // drive root + suffix
      {"D:\\CD\\Setup.exe", "D:\\CD\\Setup.exe"},
      {"D:\\Agente Plimox\\Instalador Assistente Kavrio.exe",
       "D:\\Agente Plimox\\Instalador Assistente Kavrio.exe"},
      {"\\\\srv\\share\\Setup.exe", "\\\\srv\\share\\Setup.exe"},
      {"\\\\srv\\share\\\\Setup.exe", "\\\\srv\\share\\Setup.exe"},
      {"D:\\CD\\\\\\Setup.exe", "D:\\CD\\\\Setup.exe"},      // a run of three gives two
      {"D:\\CD\\\\\\\\Setup.exe", "D:\\CD\\\\Setup.exe"},    // a run of four gives two
      {"D:\\CD\\\\\\\\\\Setup.exe", "D:\\CD\\\\\\Setup.exe"},  // five give three
      {"\\\\\\\\srv\\Setup.exe", "\\\\\\srv\\Setup.exe"},      // after the kept pair, two give one
      {"", ""},
  };
  for (const Case& c : cases) {
    char out[kMaxPath];
    EXPECT_TRUE(CleanProgramPath(c.path, out, sizeof out)) << c.path;
    EXPECT_STREQ(out, c.cleaned) << c.path;
  }
}

TEST(CleanProgramPath, FailsEmptyWithoutOverrunWhenTheResultDoesNotFit) {
  struct Case {
    const char* path;
    std::size_t size;
    bool fits;
  } cases[] = {
      {"D:\\Setup.exe", 13, true},   // 12 characters and the NUL
      {"D:\\Setup.exe", 12, false},
      {"D:\\\\Setup.exe", 13, true},  // fits once cleaned
      {"\\\\srv", 6, true},
      {"\\\\srv", 5, false},
      {"\\\\", 2, false},
      {"", 1, true},
  };
  for (const Case& c : cases) {
    char out[32];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(CleanProgramPath(c.path, out, c.size), c.fits) << c.path << " in " << c.size;
    if (!c.fits) {
      EXPECT_STREQ(out, "") << c.path;
    }
    for (std::size_t i = c.size; i < sizeof out; ++i) ASSERT_EQ(out[i], '#') << c.path;
  }
}

TEST(RunProgram, ResultAndCallsInEachCase) {
  const Calls kRanToWait = {"CreateProcess", "Wait process 0", "GetExitCodeProcess process",
                            "CloseHandle thread", "CloseHandle process"};
  const Calls kRanToEnd = {"CreateProcess", "Wait process INFINITE", "GetExitCodeProcess process",
                           "CloseHandle thread", "CloseHandle process"};
  struct Case {
    const char* name;
    bool createSucceeds;
    std::uint32_t createError;
    bool shellSucceeds;
    bool shellGivesProcess;
    bool endedBeforeWait;
    bool exitCodeReadable;
    std::int16_t waitMode;
    std::int32_t result;
    Calls calls;
  } cases[] = {
      {"still running, not waited for", true, 0, true, true, false, true, 1, 259, kRanToWait},
      {"ended before the 0 ms wait", true, 0, true, true, true, true, 1, 42, kRanToWait},
      {"wait mode 0 waits for the exit code", true, 0, true, true, false, true, 0, 42, kRanToEnd},
      {"wait mode 2 waits too", true, 0, true, true, false, true, 2, 42, kRanToEnd},
      {"wait mode -1 waits too", true, 0, true, true, false, true, -1, 42, kRanToEnd},
      {"exit code unreadable", true, 0, true, true, true, false, 1, -1, kRanToWait},
      {"file missing", false, kErrorFileNotFound, true, true, false, true, 1, -1, {"CreateProcess"}},
      {"access denied is not retried", false, 5, true, true, false, true, 0, -1, {"CreateProcess"}},
      {"elevated, not waited for", false, kErrorElevationRequired, true, true, false, true, 1, 259,
       {"CreateProcess", "ShellExecuteEx", "Wait process 0", "GetExitCodeProcess process",
        "CloseHandle process"}},
      {"elevated, waited for", false, kErrorElevationRequired, true, true, false, true, 0, 42,
       {"CreateProcess", "ShellExecuteEx", "Wait process INFINITE", "GetExitCodeProcess process",
        "CloseHandle process"}},
      {"elevation declined", false, kErrorElevationRequired, false, true, false, true, 1, -1,
       {"CreateProcess", "ShellExecuteEx"}},
      {"elevated without a process handle", false, kErrorElevationRequired, true, false, false,
       true, 1, -1, {"CreateProcess", "ShellExecuteEx"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeProcess os;
    os.createSucceeds = c.createSucceeds;
    os.createError = c.createError;
    os.shellSucceeds = c.shellSucceeds;
    os.shellGivesProcess = c.shellGivesProcess;
    os.endedBeforeWait = c.endedBeforeWait;
    os.exitCodeReadable = c.exitCodeReadable;
    os.exitCode = 42;
    EXPECT_EQ(RunProgram(os, "D:\\\\Setup.exe", c.waitMode), c.result);
    EXPECT_EQ(os.calls, c.calls);
    ExpectHandlesBalanced(os);
  }
}

TEST(RunProgram, PassesTheCleanedPathAsApplicationAndQuotedCommandLine) {
  struct Case {
    const char* path;
    const char* application;
  } cases[] = {
      {"D:\\\\Setup.exe", "D:\\Setup.exe"},
      {"D:\\CD Kavrio\\Setup.exe", "D:\\CD Kavrio\\Setup.exe"},
      {"D:\\\\Agente Plimox\\Instalador Assistente Kavrio.exe",
       "D:\\Agente Plimox\\Instalador Assistente Kavrio.exe"},
      {"\\\\srv\\share\\Internet Explorer 5.5\\ie5setup.exe",
       "\\\\srv\\share\\Internet Explorer 5.5\\ie5setup.exe"},
  };
  for (const Case& c : cases) {
    FakeProcess os;
    os.createSucceeds = false;
    os.createError = kErrorElevationRequired;
    RunProgram(os, c.path, kDoNotWait);
    ASSERT_EQ(os.creates.size(), 1u);
    const FakeProcess::CreateCall& call = os.creates[0];
    EXPECT_EQ(call.applicationName, std::optional<std::string>(c.application));
    EXPECT_EQ(call.commandLine, std::string("\"") + c.application + "\"");
    EXPECT_TRUE(call.inheritHandles);
    EXPECT_EQ(call.creationFlags, 0x20u);
    EXPECT_EQ(call.currentDirectory, std::optional<std::string>("C:\\"));
    // The elevation retry starts the same file in the same folder.
    ASSERT_EQ(os.shellExecutes.size(), 1u);
    EXPECT_EQ(os.shellExecutes[0].file, c.application);
    EXPECT_EQ(os.shellExecutes[0].directory, call.currentDirectory);
  }
}

TEST(RunProgram, WorkingFolderIsCOrElseTheRootOfTheWindowsDrive) {
  struct Case {
    const char* name;
    std::optional<std::uint32_t> attributesOfC;
    const char* windowsDirectory;
    std::optional<std::string> folder;
  } cases[] = {
      {"C:\\ exists", 0x10u, "E:\\WINDOWS", "C:\\"},
      {"C:\\ missing", std::nullopt, "E:\\WINDOWS", "E:\\"},
      {"C:\\ missing, lower-case drive", std::nullopt, "e:\\winnt", "e:\\"},
      {"C:\\ is a file", 0x20u, "E:\\WINDOWS", "E:\\"},
      {"C:\\ missing, Windows folder unknown", std::nullopt, "", std::nullopt},
      {"C:\\ missing, Windows on a share", std::nullopt, "\\\\srv\\windows", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool elevated : {false, true}) {
      FakeProcess os;
      os.fileAttributes.clear();
      if (c.attributesOfC) os.fileAttributes["C:\\"] = *c.attributesOfC;
      os.windowsDirectory = c.windowsDirectory;
      os.createSucceeds = !elevated;
      os.createError = kErrorElevationRequired;
      RunProgram(os, "D:\\\\Setup.exe", kDoNotWait);
      ASSERT_EQ(os.creates.size(), 1u);
      EXPECT_EQ(os.creates[0].currentDirectory, c.folder);
      if (elevated) {
        ASSERT_EQ(os.shellExecutes.size(), 1u);
        EXPECT_EQ(os.shellExecutes[0].directory, c.folder);
      }
      ExpectHandlesBalanced(os);
    }
  }
}

TEST(RunProgram, RefusesAPathThatIsEmptyOrLongerThanMaxPath) {
  const std::string longest(kMaxPath - 1, 'a');
  const std::string tooLong(kMaxPath, 'a');
  const std::string longestDoubled = "\\\\\\\\" + std::string(kMaxPath - 4, 'a');  // 260, cleans to 259
  struct Case {
    const char* path;
    bool started;
  } cases[] = {{nullptr, false}, {"", false}, {longest.c_str(), true},
               {tooLong.c_str(), false}, {longestDoubled.c_str(), true}};
  for (const Case& c : cases) {
    FakeProcess os;
    EXPECT_EQ(RunProgram(os, c.path, kDoNotWait), c.started ? 259 : -1);
    EXPECT_EQ(os.creates.size(), c.started ? 1u : 0u);
    if (c.started) {
      EXPECT_EQ(os.creates[0].commandLine.size(), kMaxPath + 1);
    }
    ExpectHandlesBalanced(os);
  }
}

}  // namespace
}  // namespace kavrio
