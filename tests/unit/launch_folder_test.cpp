#include "launch/launch_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_process.h"
#include "launch/funcoes.h"

namespace kavrio {
namespace {

using test::FakeProcess;

TEST(LaunchFolder, IsTheFolderOfTheModuleWithTheSeparatorOnlyAtADriveRoot) {
  struct Case {
    const char* moduleFileName;
    const char* folder;  // null: no folder
  } cases[] = {
      {"D:\\kavrio.exe", "D:\\"},
      {"D:\\CD\\kavrio.exe", "D:\\CD"},
      {"D:\\CD Kavrio\\kavrio.exe", "D:\\CD Kavrio"},
      {"\\\\srv\\share\\kavrio.exe", "\\\\srv\\share"},
      {"\\\\srv\\share\\CD\\kavrio.exe", "\\\\srv\\share\\CD"},
      {"\\\\?\\D:\\kavrio.exe", "\\\\?\\D:\\"},
      {"kavrio.exe", nullptr},
      {"\\kavrio.exe", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    char out[kMaxPath] = "stale";
    EXPECT_EQ(LaunchFolderFromModuleFileName(c.moduleFileName, out, sizeof out), c.folder != nullptr)
        << c.moduleFileName;
    EXPECT_STREQ(out, c.folder != nullptr ? c.folder : "") << c.moduleFileName;
  }
}

TEST(LaunchFolder, FailsEmptyWithoutOverrunWhenTheFolderDoesNotFit) {
  struct Case {
    const char* moduleFileName;
    std::size_t size;
    bool fits;
  } cases[] = {{"D:\\CD\\kavrio.exe", 6, true}, {"D:\\CD\\kavrio.exe", 5, false},
               {"D:\\kavrio.exe", 4, true},     {"D:\\kavrio.exe", 3, false}};
  for (const Case& c : cases) {
    char out[16];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(LaunchFolderFromModuleFileName(c.moduleFileName, out, c.size), c.fits);
    if (!c.fits) {
      EXPECT_STREQ(out, "");
    }
    for (std::size_t i = c.size; i < sizeof out; ++i) ASSERT_EQ(out[i], '#') << c.moduleFileName;
  }
}

TEST(JoinInstallerPath, FitsUpToMaxPathAndNeverWritesPastTheBuffer) {
  const std::size_t suffixLength = std::strlen(kSupportAgentSetupSuffix);
  const std::string longestFolder(kMaxPath - 1 - suffixLength, 'a');
  const std::string oneTooLong(kMaxPath - suffixLength, 'a');
  struct Case {
    const char* folder;
    bool fits;
  } cases[] = {{"D:\\", true}, {longestFolder.c_str(), true}, {oneTooLong.c_str(), false}};
  for (const Case& c : cases) {
    char out[kMaxPath + 8];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(JoinInstallerPath(c.folder, kSupportAgentSetupSuffix, out, kMaxPath), c.fits);
    EXPECT_EQ(std::string(out), c.fits ? std::string(c.folder) + kSupportAgentSetupSuffix : "");
    for (std::size_t i = kMaxPath; i < sizeof out; ++i) ASSERT_EQ(out[i], '#');
  }
}

// From the module file name to the program that CreateProcess is asked for.
TEST(CurrentLaunchFolder, GivesEachInstallerItsPathOnTheCd) {
  struct Case {
    const char* moduleFileName;
    const char* suffix;
    const char* started;
  } cases[] = {
      {"D:\\kavrio.exe", kHomeSetupSuffix, "D:\\Setup.exe"},
      {"D:\\CD\\kavrio.exe", kHomeSetupSuffix, "D:\\CD\\Setup.exe"},
      {"D:\\kavrio.exe", kSupportAgentSetupSuffix,
       "D:\\Agente Plimox\\Instalador Assistente Kavrio.exe"},
      {"D:\\kavrio.exe", kBrowserSetupSuffix, "D:\\Internet Explorer 5.5\\ie5setup.exe"},
      {"\\\\srv\\share\\kavrio.exe", kBrowserSetupSuffix,
       "\\\\srv\\share\\Internet Explorer 5.5\\ie5setup.exe"},
  };
  for (const Case& c : cases) {
    FakeProcess os;
    os.moduleFileName = c.moduleFileName;
    char folder[kMaxPath];
    char path[kMaxPath];
    ASSERT_TRUE(CurrentLaunchFolder(os, folder, sizeof folder)) << c.moduleFileName;
    ASSERT_TRUE(JoinInstallerPath(folder, c.suffix, path, sizeof path));
    EXPECT_EQ(RunProgram(os, path, kDoNotWait), 259);
    ASSERT_EQ(os.creates.size(), 1u);
    EXPECT_EQ(os.creates[0].applicationName, std::optional<std::string>(c.started));
  }
}

TEST(CurrentLaunchFolder, FailsEmptyWhenTheModuleNameIsCutOrMissing) {
  struct Case {
    std::string moduleFileName;
    bool found;
  } cases[] = {{"D:\\" + std::string(kMaxPath - 4, 'k'), true},  // 259 characters
               {"D:\\" + std::string(kMaxPath - 3, 'k'), false},  // cut: no NUL, wrong folder
               {"", false}};
  for (const Case& c : cases) {
    FakeProcess os;
    os.moduleFileName = c.moduleFileName;
    char folder[kMaxPath] = "stale";
    EXPECT_EQ(CurrentLaunchFolder(os, folder, sizeof folder), c.found) << c.moduleFileName.size();
    EXPECT_STREQ(folder, c.found ? "D:\\" : "");
  }
}

}  // namespace
}  // namespace kavrio
