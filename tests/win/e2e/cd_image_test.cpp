// The roads from the installation CD image itself: drive D: is the Joliet tree read back from
// the ISO that scripts/make-cd wrote, on a drive that Wine declares a CD-ROM drive (see
// CMakeLists.txt).
#include "road.h"

#include <algorithm>

namespace e2e {
namespace {

class FromCdImage : public Road {
 protected:
  FromCdImage() { layOutCd = false; }
};

TEST_F(FromCdImage, TheBusinessRoadStartsTheAgentFromTheImage) {
  ASSERT_NE(GetFileAttributesW(L"D:\\autorun.inf"), INVALID_FILE_ATTRIBUTES)
      << "drive D: is not the CD image's tree";
  EXPECT_EQ(GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_CDROM));
  HWND business = OpenBusiness();
  ASSERT_NE(business, nullptr);
  PressAltKey('A');
  ExpectStarted(kAgentSetup);
  EXPECT_TRUE(launcher.WaitForExit());
}

// The disc taken out of the drive: the folder behind D: moves away, so the letter stays a
// CD-ROM drive whose root cannot be read, as an empty drive's. Put back when it goes.
class EjectedCd {
 public:
  EjectedCd() : tree_(WinePathFromEnvironment("KAVRIO_CD_FOLDER")), away_(tree_ + L".ejected") {
    ejected_ = !tree_.empty() && MoveFileW(tree_.c_str(), away_.c_str());
  }
  ~EjectedCd() {
    if (ejected_) MoveFileW(away_.c_str(), tree_.c_str());
  }
  bool Ejected() const { return ejected_; }

 private:
  std::wstring tree_;
  std::wstring away_;
  bool ejected_ = false;
};

// The visible windows, of any process, that were not there before.
std::vector<HWND> NewWindows(const std::vector<HWND>& before) {
  std::vector<HWND> added;
  for (HWND window : VisibleWindowsOfEveryProcess()) {
    if (std::find(before.begin(), before.end(), window) == before.end()) added.push_back(window);
  }
  return added;
}

TEST_F(FromCdImage, TheCdTakenOutUnderTheMenuEndsTheLauncherWithNothingShown) {
  // Wine keeps a process's current folder open without delete sharing, which would pin the
  // folder behind D:; Windows drops such handles when the disc goes. The launcher never
  // uses its current folder.
  LaunchOptions options;
  options.workingFolder = L"C:\\";
  HWND menu = StartMenu(options);
  ASSERT_NE(menu, nullptr);
  const std::vector<HWND> before = VisibleWindowsOfEveryProcess();
  EjectedCd ejected;
  ASSERT_TRUE(ejected.Ejected()) << "KAVRIO_CD_FOLDER names the folder behind D:";
  EXPECT_EQ(GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_CDROM)) << "the drive stays";
  EXPECT_EQ(GetFileAttributesW(L"D:\\"), INVALID_FILE_ATTRIBUTES) << "with no disc in it";

  PressKey(VK_RETURN);  // the home button, which has the focus
  EXPECT_TRUE(launcher.WaitForExit());
  // A crash or error box would come up within this time.
  ExpectNothingStarted();
  Sleep(1500);
  for (HWND window : NewWindows(before)) {
    const std::wstring title = TextOf(window), className = ClassOf(window);
    ADD_FAILURE() << "a window appeared: \"" << std::string(title.begin(), title.end())
                  << "\" of class " << std::string(className.begin(), className.end());
  }
}

}  // namespace
}  // namespace e2e
