#include "launch/launch_folder.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_process.h"
#include "launch/funcoes.h"
#include "text_for_tests.h"

namespace kavrio {
namespace {

using fakes::FakeProcess;

TEST(LaunchFolder, IsTheFolderOfTheModuleWithTheSeparatorOnlyAtADriveRoot) {
  struct Case {
    const char16_t* moduleFileName;
    const char16_t* folder;  // null: no folder
  } cases[] = {
      {u"D:\\kavrio.exe", u"D:\\"},
      {u"D:\\CD\\kavrio.exe", u"D:\\CD"},
      {u"D:\\CD Kavrio\\kavrio.exe", u"D:\\CD Kavrio"},
      {u"C:\\Instala\u00e7\u00e3o \u5b89\u88c5\\kavrio.exe", u"C:\\Instala\u00e7\u00e3o \u5b89\u88c5"},
      {u"\\\\srv\\share\\kavrio.exe", u"\\\\srv\\share"},
      {u"\\\\srv\\share\\CD\\kavrio.exe", u"\\\\srv\\share\\CD"},
      {u"\\\\?\\D:\\kavrio.exe", u"\\\\?\\D:\\"},
      {u"kavrio.exe", nullptr},
      {u"\\kavrio.exe", nullptr},
      {u"", nullptr},
  };
  for (const Case& c : cases) {
    PathText out;
    ASSERT_TRUE(out.Append(u"stale"));
    EXPECT_EQ(LaunchFolderFromModuleFileName(c.moduleFileName, out), c.folder != nullptr)
        << Utf8(c.moduleFileName);
    EXPECT_EQ(out.View(), c.folder != nullptr ? c.folder : u"") << Utf8(c.moduleFileName);
  }
}

// A module file name may be longer than a path (a \\?\ name); its folder must fit.
TEST(LaunchFolder, FailsEmptyWhenTheFolderDoesNotFit) {
  const std::u16string longest = u"D:\\" + std::u16string(kMaxPath - 4, u'k');  // 259 units
  struct Case {
    std::u16string moduleFileName;
    bool fits;
  } cases[] = {{longest + u"\\kavrio.exe", true}, {longest + u"k\\kavrio.exe", false}};
  for (const Case& c : cases) {
    PathText out;
    EXPECT_EQ(LaunchFolderFromModuleFileName(c.moduleFileName.c_str(), out), c.fits);
    EXPECT_EQ(out.View(), c.fits ? longest : u"");
  }
}

TEST(JoinInstallerPath, FitsUpToMaxPath) {
  const std::size_t suffixLength = std::u16string(kSupportAgentSetupSuffix).size();
  const std::u16string longestFolder = u"D:\\" + std::u16string(kMaxPath - 4 - suffixLength, u'a');
  const std::u16string oneTooLong = longestFolder + u"a";
  struct Case {
    const char16_t* folder;
    bool fits;
  } cases[] = {{u"D:\\", true}, {longestFolder.c_str(), true}, {oneTooLong.c_str(), false}};
  for (const Case& c : cases) {
    PathText out;
    EXPECT_EQ(JoinInstallerPath(c.folder, kSupportAgentSetupSuffix, out), c.fits);
    EXPECT_EQ(out.View(), c.fits ? c.folder + std::u16string(kSupportAgentSetupSuffix) : u"");
  }
}

// A folder that would be resolved against the current drive or folder never makes a path:
// "" + "\Setup.exe" would start \Setup.exe of whatever drive is current.
TEST(JoinInstallerPath, OnlyFromAnAbsoluteFolder) {
  struct Case {
    const char16_t* folder;
    bool absolute;
  } cases[] = {
      {u"D:\\", true},       {u"d:\\CD", true},      {u"\\\\srv\\share", true},
      {u"\\\\?\\D:\\", true}, {u"", false},           {u"\\CD", false},
      {u"D:", false},        {u"D:CD", false},       {u"\\\\", false},
      {u"CD", false},        {u"1:\\", false},       {nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.folder));
    EXPECT_EQ(IsAbsoluteFolder(c.folder), c.absolute);
    PathText out;
    ASSERT_TRUE(out.Append(u"stale"));
    EXPECT_EQ(JoinInstallerPath(c.folder, kHomeSetupSuffix, out), c.absolute);
    if (!c.absolute) {
      EXPECT_TRUE(out.Empty());
    }
  }
}

// From the module file name to the program that CreateProcess is asked for.
TEST(CurrentLaunchFolder, GivesEachInstallerItsPathOnTheCd) {
  const std::u16string tooLong = u"D:\\" + std::u16string(kMaxPath, u'k');
  struct Case {
    const char16_t* moduleFileName;
    const char16_t* suffix;
    const char16_t* started;  // null: nothing is started
  } cases[] = {
      {u"D:\\kavrio.exe", kHomeSetupSuffix, u"D:\\Setup.exe"},
      {u"D:\\CD\\kavrio.exe", kHomeSetupSuffix, u"D:\\CD\\Setup.exe"},
      {u"D:\\kavrio.exe", kSupportAgentSetupSuffix,
       u"D:\\Agente Plimox\\Instalador Assistente Kavrio.exe"},
      {u"D:\\kavrio.exe", kBrowserSetupSuffix, u"D:\\Internet Explorer 5.5\\ie5setup.exe"},
      {u"\\\\srv\\share\\kavrio.exe", kBrowserSetupSuffix,
       u"\\\\srv\\share\\Internet Explorer 5.5\\ie5setup.exe"},
      {u"C:\\Instala\u00e7\u00e3o \u5b89\u88c5\\kavrio.exe", kHomeSetupSuffix,
       u"C:\\Instala\u00e7\u00e3o \u5b89\u88c5\\Setup.exe"},
      // The name does not fit: the folder is unknown, and no \Setup.exe of the current drive
      // is started in its place.
      {tooLong.c_str(), kHomeSetupSuffix, nullptr},
      {u"", kHomeSetupSuffix, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.moduleFileName).substr(0, 40));
    FakeProcess os;
    os.moduleFileName = c.moduleFileName;
    PathText folder;
    ASSERT_TRUE(folder.Append(u"stale"));
    EXPECT_EQ(CurrentLaunchFolder(os, folder), c.started != nullptr);
    StartInstaller(LaunchContext{os, folder.CStr()}, c.suffix);
    ASSERT_EQ(os.creates.size(), c.started ? 1u : 0u);
    if (c.started) {
      EXPECT_EQ(os.creates[0].applicationName, std::optional<std::u16string>(c.started));
    }
  }
}

TEST(CurrentLaunchFolder, FailsEmptyWhenTheModuleNameIsCutOrMissing) {
  struct Case {
    std::u16string moduleFileName;
    bool found;
  } cases[] = {{u"D:\\" + std::u16string(kMaxPath - 4, u'k'), true},  // 259 characters
               {u"D:\\" + std::u16string(kMaxPath - 3, u'k'), false},  // cut: no NUL, wrong folder
               {u"", false}};
  for (const Case& c : cases) {
    FakeProcess os;
    os.moduleFileName = c.moduleFileName;
    PathText folder;
    ASSERT_TRUE(folder.Append(u"stale"));
    EXPECT_EQ(CurrentLaunchFolder(os, folder), c.found) << c.moduleFileName.size();
    EXPECT_EQ(folder.View(), c.found ? u"D:\\" : u"");
  }
}

}  // namespace
}  // namespace kavrio
