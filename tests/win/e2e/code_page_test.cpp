// Under an ANSI code page that is not 1252: Japanese (932), where an accented letter of
// Windows-1252 is no letter at all and a Japanese one takes two bytes. These run only in
// that locale (see CMakeLists.txt).
#include "road.h"

namespace e2e {
namespace {

class CodePage932 : public Road, public ::testing::WithParamInterface<Way> {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8";
    Road::SetUp();
  }
};

TEST_P(CodePage932, EachWindowReadsItsTextsAndStartsItsInstaller) { RunToInstaller(GetParam()); }

INSTANTIATE_TEST_SUITE_P(EveryRoad, CodePage932,
                         ::testing::Values(Way::Home, Way::Business, Way::BrowserSetup),
                         NameOfWay);

// A CD copied to a folder whose name has letters of no single code page.
TEST_F(CodePage932, AFolderNamedInSeveralScriptsStartsItsInstaller) {
  const std::wstring folder = L"C:\\Instalação 安装";
  ASSERT_TRUE(Done(CopyLauncherTo(folder + L"\\kavrio.exe")));
  ASSERT_TRUE(Done(PlantStub(folder + L"\\Setup.exe")));
  LaunchOptions options;
  options.exe = folder + L"\\kavrio.exe";
  HWND menu = StartMenu(options);
  ASSERT_NE(menu, nullptr);
  PressKey(VK_RETURN);
  ExpectStarted(folder + L"\\Setup.exe");
  EXPECT_TRUE(launcher.WaitForExit());
  ASSERT_TRUE(Done(RemoveFolder(folder)));
}

// A launch folder of 145 characters that take 275 bytes in code page 932, more than an ANSI
// path may hold, started from C:\ where a decoy C:\Setup.exe waits. On the NT line the
// folder is known in UTF-16 and its own Setup.exe starts; on 95 to ME (ANSI only) the folder
// cannot be known, and nothing starts. Never the decoy.
TEST_F(CodePage932, ALongFolderStartsItsOwnSetupOrNothingButNeverADecoy) {
  const std::wstring letters(65, L'\u3042');
  const std::wstring folder = L"D:\\" + letters + L"\\" + letters;
  ASSERT_TRUE(Done(CopyLauncherTo(folder + L"\\kavrio.exe")));
  ASSERT_TRUE(Done(PlantStub(folder + L"\\Setup.exe")));
  ASSERT_TRUE(Done(PlantStub(L"C:\\Setup.exe")));
  struct Case {
    const char* what;
    bool asWindows98;
    bool started;
  } cases[] = {{"NT line", false, true}, {"Windows 98", true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(Done(ReportWindows98To(L"kavrio.exe", c.asWindows98)));
    EXPECT_TRUE(Done(ClearStarts()));
    LaunchOptions options;
    options.exe = folder + L"\\kavrio.exe";
    options.workingFolder = L"C:\\";
    Launcher run;
    EXPECT_TRUE(Done(StartLauncher(run, options)));
    HWND menu = WaitForForm(run.process.id, L"Kavrio Business");
    EXPECT_NE(menu, nullptr);
    if (!menu) continue;
    BringToFront(menu);
    PressKey(VK_RETURN);
    if (c.started) {
      ExpectStarted(folder + L"\\Setup.exe");
    } else {
      ExpectNothingStarted();
    }
    EXPECT_TRUE(run.WaitForExit());
  }
  EXPECT_TRUE(Done(ReportWindows98To(L"kavrio.exe", false)));
  DeleteFileW(L"C:\\Setup.exe");
}

}  // namespace
}  // namespace e2e
