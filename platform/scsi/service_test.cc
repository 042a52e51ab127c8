// The SCSI service on the machines of a cluster: how a node's number
// addresses a device, no hardware without a good fabric, areas shared
// between machines and kept across runs, and the C calls serving the
// machine that RUDED_ROOT names.

#include "platform/scsi/service.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/os/os.h"
#include "platform/scsi/inquiry_data.h"
#include "platform/scsi/io.h"
#include "platform/scsi/scsi_test_util.h"

namespace scsi {
namespace {

const char kFabric[] =
    "bus shared\n"
    "  adapter nodeA 0 0 0 7\n"
    "  adapter nodeB 0 1 0 6 stamp=c10:nodeB\n"
    "  disk 3 SEAGATE ST31200N 8724 serial=SEA123\n"
    "  device 5 1 HP C1533A 9503\n"
    "  disk 8 V P R open=EBUSY\n"
    "bus private\n"
    "  adapter nodeA 0 0 2 7\n"
    "  disk 0 V P R\n";

class ServiceTest : public testing::Test {
 protected:
  // Opens a fresh node with dev on service s; the errno it left in *error.
  int Open(Service& s, uint32_t dev, int* error = nullptr) {
    std::string path = cluster_.Node("node" + std::to_string(++nodes_), dev);
    errno = 0;
    int fd = s.Open(path.c_str());
    if (error != nullptr) *error = errno;
    EXPECT_TRUE(error != nullptr || fd >= 0) << strerror(errno);
    return fd;
  }
  // The vendor-specific area in a processor inquiry of fd, as text.
  static std::string Area(Service& s, int fd) {
    unsigned char data[56];
    if (s.ProcessorInquiry(fd, data) != 0) return "(failed)";
    return DescribeArea(*reinterpret_cast<VendorArea*>(data + 36));
  }

  TestCluster cluster_{kFabric};
  FabricService a_{cluster_.Root("nodeA")}, b_{cluster_.Root("nodeB")};
  int nodes_ = 0;
};

TEST_F(ServiceTest, OpenResolvesTheNodesAddress) {
  const struct {
    Service* s;
    uint32_t dev;
    int error;  // 0: opens
  } cases[] = {
      {&a_, Dev(0, 0, 0, 3), 0},       {&a_, Dev(0, 0, 0, 7), 0},
      {&a_, Dev(0, 0, 0, 6), 0},       {&a_, Dev(0, 0, 0, 5), 0},
      {&a_, Dev(0, 0, 0, 4), ENODEV},  {&a_, Dev(0, 0, 0, 8), EBUSY},
      {&a_, Dev(0, 0, 1, 0), ENXIO},   {&a_, Dev(0, 0, 3, 0), ENXIO},
      {&a_, Dev(0, 0, 2, 0), 0},       {&a_, Dev(0, 0, 2, 1), ENODEV},
      {&a_, Dev(0, 1, 0, 3), ENXIO},   {&a_, Dev(2, 0, 0, 0), ENXIO},
      {&b_, Dev(0, 1, 0, 3), 0},       {&b_, Dev(0, 0, 0, 3), ENXIO},
      {&b_, Dev(0, 1, 1, 3), ENXIO},
      {&a_, Dev(0, 0, 0, 3) | 0x2101, 0},  // s, d and bit 13 play no part
  };
  for (const auto& c : cases) {
    int error = 0;
    int fd = Open(*c.s, c.dev, &error);
    EXPECT_EQ(fd >= 0 ? 0 : error, c.error) << std::hex << c.dev;
    if (fd < 0) continue;
    EXPECT_GE(fcntl(fd, F_GETFD), 0) << "a real descriptor";
    EXPECT_EQ(c.s->Close(fd), 0);
    errno = 0;
    EXPECT_EQ(c.s->Close(fd), -1);
    EXPECT_EQ(errno, EBADF);
  }
  errno = 0;
  EXPECT_EQ(a_.Open((cluster_.dir() + "/absent").c_str()), -1);
  EXPECT_EQ(errno, ENOENT);
  errno = 0;
  EXPECT_EQ(a_.Open((cluster_.dir() + "/fabric").c_str()), -1);
  EXPECT_EQ(errno, ENODEV) << "a regular file addresses no device";
}

TEST_F(ServiceTest, NoGoodFabricMeansNoHardware) {
  int error = 0;
  FabricService none("");
  EXPECT_EQ(Open(none, Dev(0, 0, 0, 3), &error), -1);
  EXPECT_EQ(error, ENXIO);

  // A bad fabric is reported once, naming its file and line.
  e2e::WriteFile(cluster_.dir() + "/fabric", "bus a\n  adapter nodeA 0 0 0 99\n");
  testing::internal::CaptureStderr();
  FabricService bad(cluster_.Root("nodeA"));
  for (int target : {3, 7}) {
    EXPECT_EQ(Open(bad, Dev(0, 0, 0, target), &error), -1);
    EXPECT_EQ(error, EIO);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            cluster_.Root("nodeA") +
                "/../fabric:2: adapter: id \"99\" is not a number from 0 "
                "to 15\n");

  unlink((cluster_.dir() + "/fabric").c_str());
  FabricService bare(cluster_.Root("nodeA"));
  EXPECT_EQ(Open(bare, Dev(0, 0, 0, 3), &error), -1);
  EXPECT_EQ(error, ENXIO);
}

TEST_F(ServiceTest, StampGoesToTheLocalAdapterAndIsSharedAndKept) {
  int disk = Open(a_, Dev(0, 0, 0, 3));
  VendorArea area = MakeArea({0, 0, 0}, "nodeA");
  EXPECT_EQ(a_.SetInitiatorInquiry(disk, 20, area.data()), 0);
  errno = 0;
  EXPECT_EQ(a_.SetInitiatorInquiry(disk, 19, area.data()), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(Area(b_, Open(b_, Dev(0, 1, 0, 7))), "c0:nodeA");
  EXPECT_EQ(Area(a_, Open(a_, Dev(0, 0, 0, 6))), "c10:nodeB")
      << "preset by stamp=";

  // A written area replaces the preset one, for every later process too.
  VendorArea other = MakeArea({0, 1, 0}, "renamed");
  ASSERT_EQ(b_.SetInitiatorInquiry(Open(b_, Dev(0, 1, 0, 3)), 20, other.data()),
            0);
  FabricService later(cluster_.Root("nodeA"));
  EXPECT_EQ(Area(later, Open(later, Dev(0, 0, 0, 6))), "c10:renamed");
  EXPECT_EQ(Area(later, Open(later, Dev(0, 0, 0, 7))), "c0:nodeA");
  EXPECT_EQ(Area(later, Open(later, Dev(0, 0, 0, 3))), "(failed)")
      << "a disk is no processor";
}

// The C calls serve the machine RUDED_ROOT names, map node paths under it,
// and read the fabric once per process.
TEST_F(ServiceTest, CallsServeTheMachineOfTheRootAndReadTheFabricOnce) {
  setenv(RUDED_ROOT_ENV, cluster_.Root("nodeA").c_str(), 1);
  ResetServiceForTesting();
  mkdir((cluster_.Root("nodeA") + "/tmp").c_str(), 0755);
  ASSERT_EQ(_xmknod(XMKNOD_VER, "/tmp/n", S_IFCHR | 0400, Dev(0, 0, 0, 3)), 0)
      << strerror(errno);
  unsigned char data[56];
  for (int round = 0; round < 2; ++round) {
    int fd = IO_Open("/tmp/n", 0);
    ASSERT_GE(fd, 0) << strerror(errno);
    EXPECT_EQ(IO_Inquiry(fd, data), 0);
    EXPECT_EQ(IO_GetInitiatorNode(fd), Dev(0, 0, 0, 7));
    EXPECT_EQ(IO_Close(fd), 0);
    e2e::WriteFile(cluster_.dir() + "/fabric", "garbage\n");
  }
  unsetenv(RUDED_ROOT_ENV);
  ResetServiceForTesting();
}

}  // namespace
}  // namespace scsi
