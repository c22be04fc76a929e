#include "launch/funcoes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_process.h"
#include "launch/launch_folder.h"
#include "text_for_tests.h"

namespace kavrio {
namespace {

using fakes::FakeProcess;
using namespace win32_codes;
using Waits = std::vector<std::uint32_t>;

void ExpectHandlesBalanced(const FakeProcess& os) {
  EXPECT_EQ(os.OpenHandles(), 0u) << "a handle was left open";
  EXPECT_EQ(os.misuses, 0) << "a call used an empty or closed handle";
}

TEST(CleanProgramPath, CollapsesDoubledSeparatorsButKeepsTheNetworkPrefix) {
  struct Case {
    const char16_t* path;
    const char16_t* cleaned;
  } cases[] = {
      {u"D:\\\\Setup.exe", u"D:\\Setup.exe"},  // drive root + suffix
      {u"D:\\CD\\Setup.exe", u"D:\\CD\\Setup.exe"},
      {u"D:\\Agente Plimox\\Instalador Assistente Kavrio.exe",
       u"D:\\Agente Plimox\\Instalador Assistente Kavrio.exe"},
      {u"\\\\srv\\share\\Setup.exe", u"\\\\srv\\share\\Setup.exe"},
      {u"\\\\srv\\share\\\\Setup.exe", u"\\\\srv\\share\\Setup.exe"},
      {u"D:\\CD\\\\\\Setup.exe", u"D:\\CD\\\\Setup.exe"},      // a run of three gives two
      {u"D:\\CD\\\\\\\\Setup.exe", u"D:\\CD\\\\Setup.exe"},    // a run of four gives two
      {u"D:\\CD\\\\\\\\\\Setup.exe", u"D:\\CD\\\\\\Setup.exe"},  // five give three
      {u"\\\\\\\\srv\\Setup.exe", u"\\\\\\srv\\Setup.exe"},      // after the kept pair, two give one
      {u"D:\\Instala\u00e7\u00e3o \u5b89\u88c5\\\\Setup.exe", u"D:\\Instala\u00e7\u00e3o \u5b89\u88c5\\Setup.exe"},
      {u"", u""},
  };
  for (const Case& c : cases) {
    PathText out;
    EXPECT_TRUE(CleanProgramPath(c.path, out)) << Utf8(c.path);
    EXPECT_EQ(out.View(), c.cleaned) << Utf8(c.path);
  }
}

TEST(CleanProgramPath, FailsEmptyWhenTheResultDoesNotFit) {
  const std::u16string longest = u"D:\\" + std::u16string(kMaxPath - 4, u'a');  // 259 units
  const std::u16string network = u"\\\\" + std::u16string(kMaxPath - 3, u'a');
  struct Case {
    std::u16string path;
    bool fits;
  } cases[] = {
      {longest, true},
      {longest + u"a", false},
      {u"D:\\\\" + longest.substr(3), true},  // fits once cleaned
      {network, true},
      {network + u"a", false},
  };
  for (const Case& c : cases) {
    PathText out;
    ASSERT_TRUE(out.Append(u"stale"));
    EXPECT_EQ(CleanProgramPath(c.path.c_str(), out), c.fits) << c.path.size();
    EXPECT_EQ(out.View().size(), c.fits ? kMaxPath - 1 : 0) << c.path.size();
  }
}

// What each case gives back, how the program was started, how it was waited for, and that
// every handle was closed once.
TEST(RunProgram, ResultAndHowTheProgramWasStartedInEachCase) {
  const Waits kNoWait = {0};
  const Waits kWaitToEnd = {kInfinite};
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
    bool throughShell;
    Waits waits;
  } cases[] = {
      {"still running, not waited for", true, 0, true, true, false, true, 1, 259, false, kNoWait},
      {"ended before the 0 ms wait", true, 0, true, true, true, true, 1, 42, false, kNoWait},
      {"wait mode 0 waits for the exit code", true, 0, true, true, false, true, 0, 42, false,
       kWaitToEnd},
      {"wait mode 2 waits too", true, 0, true, true, false, true, 2, 42, false, kWaitToEnd},
      {"wait mode -1 waits too", true, 0, true, true, false, true, -1, 42, false, kWaitToEnd},
      {"exit code unreadable", true, 0, true, true, true, false, 1, -1, false, kNoWait},
      {"file missing", false, kErrorFileNotFound, true, true, false, true, 1, -1, false, {}},
      {"access denied is not retried", false, 5, true, true, false, true, 0, -1, false, {}},
      {"elevated, not waited for", false, kErrorElevationRequired, true, true, false, true, 1, 259,
       true, kNoWait},
      {"elevated, waited for", false, kErrorElevationRequired, true, true, false, true, 0, 42, true,
       kWaitToEnd},
      {"elevation declined", false, kErrorElevationRequired, false, true, false, true, 1, -1, true,
       {}},
      {"elevated without a process handle", false, kErrorElevationRequired, true, false, false,
       true, 1, -1, true, {}},
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
    EXPECT_EQ(RunProgram(os, u"D:\\\\Setup.exe", c.waitMode), c.result);
    EXPECT_EQ(os.creates.size(), 1u);
    EXPECT_EQ(os.shellExecutes.size(), c.throughShell ? 1u : 0u);
    EXPECT_EQ(os.waits, c.waits);
    ExpectHandlesBalanced(os);
  }
}

TEST(RunProgram, PassesTheCleanedPathAsApplicationAndQuotedCommandLine) {
  struct Case {
    const char16_t* path;
    const char16_t* application;
  } cases[] = {
      {u"D:\\\\Setup.exe", u"D:\\Setup.exe"},
      {u"D:\\CD Kavrio\\Setup.exe", u"D:\\CD Kavrio\\Setup.exe"},
      {u"D:\\\\Agente Plimox\\Instalador Assistente Kavrio.exe",
       u"D:\\Agente Plimox\\Instalador Assistente Kavrio.exe"},
      {u"\\\\srv\\share\\Internet Explorer 5.5\\ie5setup.exe",
       u"\\\\srv\\share\\Internet Explorer 5.5\\ie5setup.exe"},
      {u"C:\\Instala\u00e7\u00e3o \u5b89\u88c5\\Setup.exe", u"C:\\Instala\u00e7\u00e3o \u5b89\u88c5\\Setup.exe"},
  };
  for (const Case& c : cases) {
    FakeProcess os;
    os.createSucceeds = false;
    os.createError = kErrorElevationRequired;
    RunProgram(os, c.path, kDoNotWait);
    ASSERT_EQ(os.creates.size(), 1u);
    const FakeProcess::CreateCall& call = os.creates[0];
    EXPECT_EQ(call.applicationName, std::optional<std::u16string>(c.application));
    EXPECT_EQ(call.commandLine, u"\"" + std::u16string(c.application) + u"\"");
    EXPECT_TRUE(call.inheritHandles);
    EXPECT_EQ(call.creationFlags, 0x20u);
    EXPECT_EQ(call.currentDirectory, std::optional<std::u16string>(u"C:\\"));
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
    const char16_t* windowsDirectory;
    std::optional<std::u16string> folder;
  } cases[] = {
      {"C:\\ exists", 0x10u, u"E:\\WINDOWS", u"C:\\"},
      {"C:\\ missing", std::nullopt, u"E:\\WINDOWS", u"E:\\"},
      {"C:\\ missing, lower-case drive", std::nullopt, u"e:\\winnt", u"e:\\"},
      {"C:\\ is a file", 0x20u, u"E:\\WINDOWS", u"E:\\"},
      {"C:\\ missing, Windows folder unknown", std::nullopt, u"", std::nullopt},
      {"C:\\ missing, Windows on a share", std::nullopt, u"\\\\srv\\windows", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool elevated : {false, true}) {
      FakeProcess os;
      os.fileAttributes.clear();
      if (c.attributesOfC) os.fileAttributes[u"C:\\"] = *c.attributesOfC;
      os.windowsDirectory = c.windowsDirectory;
      os.createSucceeds = !elevated;
      os.createError = kErrorElevationRequired;
      RunProgram(os, u"D:\\\\Setup.exe", kDoNotWait);
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
  const std::u16string longest(kMaxPath - 1, u'a');
  const std::u16string tooLong(kMaxPath, u'a');
  const std::u16string longestDoubled = u"\\\\\\\\" + std::u16string(kMaxPath - 4, u'a');  // 260, cleans to 259
  struct Case {
    const char16_t* path;
    bool started;
  } cases[] = {{nullptr, false}, {u"", false}, {longest.c_str(), true},
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
