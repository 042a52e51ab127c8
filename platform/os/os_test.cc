// The machine root: where paths map, the node name it gives, and device
// numbers through the kernel's and back.

#include "platform/os/os.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/e2e_util.h"

namespace {

class OsTest : public ::testing::Test {
 protected:
  e2e::ScopedMachineRoot machine_;
  const std::string root_ = machine_.path();
};

TEST_F(OsTest, MapsAbsolutePathsUnderTheRootOnly) {
  EXPECT_EQ(platform::MapPath("/etc/nodename"), root_ + "/etc/nodename");
  EXPECT_EQ(platform::MapPath(".tmpdev12"), ".tmpdev12");
  EXPECT_EQ(platform::MapPath(""), "");
  setenv(RUDED_ROOT_ENV, (root_ + "//").c_str(), 1);
  EXPECT_EQ(platform::MapPath("/a"), root_ + "/a");
  setenv(RUDED_ROOT_ENV, "", 1);
  EXPECT_EQ(platform::MapPath("/etc/nodename"), "/etc/nodename");
  setenv(RUDED_ROOT_ENV, "/", 1);
  EXPECT_EQ(platform::MapPath("/etc/nodename"), "/etc/nodename");
  unsetenv(RUDED_ROOT_ENV);
  EXPECT_EQ(platform::MapPath("/etc/nodename"), "/etc/nodename");

  // A relative root stays where it was first seen, whatever the process
  // does with its working directory afterwards.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root_.c_str()), 0);
  setenv(RUDED_ROOT_ENV, "m1/", 1);
  EXPECT_EQ(platform::MapPath("/etc"), root_ + "/m1/etc");
  ASSERT_EQ(chdir("/"), 0);
  EXPECT_EQ(platform::MapPath("/etc"), root_ + "/m1/etc");
  ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(OsTest, NodeNameIsTheFirstLineOfEtcNodename) {
  svr4_utsname u;
  ASSERT_EQ(nuname(&u), 0);
  EXPECT_STRNE(u.nodename, "") << "no etc/nodename yet: the host's name";
  e2e::WriteFile(root_ + "/etc/nodename", "nodeA\nsecond line\n");
  ASSERT_EQ(nuname(&u), 0);
  EXPECT_STREQ(u.nodename, "nodeA");
  EXPECT_EQ(platform::NodeName(), "nodeA");

  e2e::WriteFile(root_ + "/etc/nodename", std::string(300, 'n'));
  ASSERT_EQ(platform::uname(&u), 0);
  EXPECT_EQ(std::string(u.nodename), std::string(SVR4_SYS_NMLN - 1, 'n'));
  EXPECT_EQ(nuname(nullptr), -1);
}

TEST_F(OsTest, DeviceNumbersSurviveTheTripThroughLinux) {
  // Major 35 in bits 22-31, bus 7, controller 5, SCSI bus 3, target 15.
  const uint32_t dev = e2e::Dev(35, 7, 5, 3, 15);
  EXPECT_EQ(platform::FromLinuxDev(platform::ToLinuxDev(0xFFFFFFFFu)),
            0xFFFFFFFFu);

  ASSERT_EQ(_xmknod(XMKNOD_VER, "/node", S_IFCHR | 0400, dev), 0)
      << strerror(errno);
  struct stat st;
  ASSERT_EQ(_xstat(XSTAT_VER, "/node", &st), 0);
  EXPECT_EQ(st.st_mode, S_IFCHR | 0400u);
  EXPECT_EQ(st.st_rdev, dev);
  EXPECT_EQ(e2e::NodeDev(root_ + "/node"), dev) << "made under the root";

  EXPECT_EQ(_xstat(XSTAT_VER, "/missing", &st), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(_xmknod(1, "/other", S_IFCHR | 0400, dev), -1);
  EXPECT_EQ(errno, EINVAL);
}

}  // namespace
