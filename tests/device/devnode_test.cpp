// Device nodes that are not drives at all: the open fallbacks of discovery and of the
// pass-through, with their system errors in the log.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "tests/device/FakeDrive.h"

using namespace qvp;

namespace {

class DeviceNodeTest : public devtest::FakeDriveTest {};

TEST_F(DeviceNodeTest, UnusableNodesAreListedOrSkippedWithTheirErrors) {
  const std::string folder = testenv::MakeTempDir("nodes");
  // sr0 opens only for reading and answers no command; sr1 has vanished.
  ASSERT_EQ(mkdir((folder + "/sr0").c_str(), 0755), 0);
  ASSERT_EQ(symlink((folder + "/gone").c_str(), (folder + "/sr1").c_str()), 0);
  plat::SetRealDriveFolder(folder);  // no scripted drive beside them (the fixture's empty list)

  const std::string log = testenv::MakeTempDir("log") + "/nodes.elg";
  // The read-only node is listed (logged before it moves to adapter 1), so the ASPI library
  // named is never needed.
  ASSERT_TRUE(InitializeDevices(*dev, 0, "/nonexistent/libnone.so", log));
  const std::string text = testenv::ReadText(log);
  const std::string d =
      "System Error Code: " + std::to_string(EISDIR) + "\r\nD: 5 - ( 0:0:0,D:    )\r\n";
  const std::string e = "System Error Code: " + std::to_string(ENOENT) +
                        "\r\nSystem Error Code: " + std::to_string(ENOENT) + "\r\n)\r\n";
  EXPECT_NE(text.find("C: ( 3)\r\n" + d + e + "F: ( 1)\r\n"), std::string::npos) << text;

  ASSERT_EQ(GetDeviceCount(*dev), 1);
  EXPECT_EQ(GetDeviceName(*dev, 0), "1:0:0,D:    ");
  EXPECT_FALSE(SelectDevice(*dev, 0));
  // The read-only handle is kept; the command failed at the drive, not at the open.
  EXPECT_NE(dev->Handle, plat::kInvalidDriveHandle);
  EXPECT_NE(dev->LastSystemError, static_cast<uint32_t>(EISDIR));
  EXPECT_NE(dev->LastSystemError, 0u);
  EXPECT_EQ(dev->LastSense[12], 0);
}

}  // namespace
