// One road from the installation CD image itself: drive D: is the Joliet tree read back from
// the ISO that scripts/make-cd wrote (see CMakeLists.txt).
#include "road.h"

namespace e2e {
namespace {

class FromCdImage : public Road {
 protected:
  FromCdImage() { layOutCd = false; }
};

TEST_F(FromCdImage, TheBusinessRoadStartsTheAgentFromTheImage) {
  ASSERT_NE(GetFileAttributesW(L"D:\\autorun.inf"), INVALID_FILE_ATTRIBUTES)
      << "drive D: is not the CD image's tree";
  HWND business = OpenBusiness();
  ASSERT_NE(business, nullptr);
  PressAltKey('A');
  ExpectStarted(kAgentSetup);
  EXPECT_TRUE(launcher.WaitForExit());
}

}  // namespace
}  // namespace e2e
