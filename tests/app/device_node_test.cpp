// The burn wizard on a recorder reached the way a real burner is: no virtual recorder of the
// program's own, a device node that the platform layer opens and drives with SG_IO. The clients
// suite runs this under `ardovan-vdrive attach` with ARDOVAN_SHIM_FLOW naming the folder to burn;
// run on its own it has no node to drive and says so.
#include <cstdlib>

#include "tests/app/WizardFixture.h"

namespace wiztest {
namespace {

class DeviceNodeTest : public WizardFixture {
 protected:
  void SetUp() override { plat::SetClockScale(1000); }
};

TEST_F(DeviceNodeTest, WizardBurnsAFolderThroughTheNode) {
  const char* source = std::getenv("ARDOVAN_SHIM_FLOW");
  if (source == nullptr) GTEST_SKIP() << "run by the clients suite under ardovan-vdrive attach";
  testenv::SetEnv("ARDOVAN_VDRIVES", "");
  plat::SetRealDriveFolder("/dev");
  plat::RescanDrives();
  main = std::make_unique<TFrmHlavni>();
  main->show();
  wizard = main->FrmVypalData;
  ASSERT_TRUE(apptest::ProcessUntil([this] { return main->Qvx().IsUnitReady(); }));
  OpenForDataDisc();
  DropFolder(source);
  wizard->btnDalsiClick();
  BurnAndWait();
  ExpectWriteEnded();
}

}  // namespace
}  // namespace wiztest
