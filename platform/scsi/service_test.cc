#include "platform/scsi/service.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

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
    "  disk 8 MYLEX DAC960 1.0 open=EBUSY\n"
    "  device 9 3 PROC P 1\n"
    "bus private\n"
    "  adapter nodeA 0 0 2 7 initiator=0.0.3.5\n"
    "  disk 0 \"EMC     \" SYMMETRIX 5265 serial=EMC1\n";

// The result of a call and the errno it left.
struct Outcome {
  int result;
  int error;
};

class ServiceTest : public testing::Test {
 protected:
  ServiceTest()
      : cluster_(kFabric),
        a_(cluster_.Root("nodeA")),
        b_(cluster_.Root("nodeB")) {}

  // Opens a fresh node with dev on service s.
  Outcome Open(Service& s, uint32_t dev) {
    std::string path = cluster_.Node("node" + std::to_string(++nodes_), dev);
    errno = 0;
    int fd = s.Open(path.c_str());
    return {fd, errno};
  }
  int MustOpen(Service& s, uint32_t dev) {
    Outcome o = Open(s, dev);
    EXPECT_GE(o.result, 0) << strerror(o.error);
    return o.result;
  }

  TestCluster cluster_;
  Service a_, b_;
  int nodes_ = 0;
};

TEST_F(ServiceTest, OpenResolvesTheNodesAddress) {
  struct Case {
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
      {&b_, Dev(0, 1, 0, 3), 0},       {&b_, Dev(0, 1, 0, 7), 0},
      {&b_, Dev(0, 0, 0, 3), ENXIO},   {&b_, Dev(0, 1, 1, 3), ENXIO},
      {&a_, Dev(0, 0, 0, 3) | 0x2101, 0},  // s, d and bit 13 play no part
  };
  for (const Case& c : cases) {
    Outcome o = Open(*c.s, c.dev);
    if (c.error == 0) {
      ASSERT_GE(o.result, 0) << std::hex << c.dev << " " << strerror(o.error);
      EXPECT_GE(fcntl(o.result, F_GETFD), 0) << "a real descriptor";
      EXPECT_EQ(c.s->Close(o.result), 0);
      errno = 0;
      EXPECT_EQ(c.s->Close(o.result), -1);
      EXPECT_EQ(errno, EBADF);
    } else {
      EXPECT_EQ(o.result, -1) << std::hex << c.dev;
      EXPECT_EQ(o.error, c.error) << std::hex << c.dev;
    }
  }
  errno = 0;
  EXPECT_EQ(a_.Open((cluster_.dir() + "/absent").c_str()), -1);
  EXPECT_EQ(errno, ENOENT);
  errno = 0;
  EXPECT_EQ(a_.Open((cluster_.dir() + "/fabric").c_str()), -1);
  EXPECT_EQ(errno, ENODEV) << "a regular file addresses no device";
}

TEST_F(ServiceTest, NoRootOrNoFabricMeansNoHardware) {
  Service none("");
  Outcome o = Open(none, Dev(0, 0, 0, 3));
  EXPECT_EQ(o.result, -1);
  EXPECT_EQ(o.error, ENXIO);
  unlink((cluster_.dir() + "/fabric").c_str());
  Service bare(cluster_.Root("nodeA"));
  o = Open(bare, Dev(0, 0, 0, 3));
  EXPECT_EQ(o.error, ENXIO);
}

TEST_F(ServiceTest, BadFabricIsReportedOnceAndEveryOpenFailsWithEio) {
  std::ofstream(cluster_.dir() + "/fabric")
      << "bus a\n  adapter nodeA 0 0 0 99\n";
  testing::internal::CaptureStderr();
  Service bad(cluster_.Root("nodeA"));
  Outcome first = Open(bad, Dev(0, 0, 0, 3));
  Outcome second = Open(bad, Dev(0, 0, 0, 7));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, cluster_.Root("nodeA") +
                     "/../fabric:2: adapter: id \"99\" is not a number from 0 "
                     "to 15\n");
  EXPECT_EQ(first.error, EIO);
  EXPECT_EQ(second.error, EIO);
}

TEST_F(ServiceTest, InquiriesAnswerByDeviceKind) {
  unsigned char data[56];
  int disk = MustOpen(a_, Dev(0, 0, 0, 3));
  ASSERT_EQ(a_.Inquiry(disk, data), 0);
  EXPECT_EQ(data[0], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 8, 8), "SEAGATE ");
  errno = 0;
  EXPECT_EQ(a_.ProcessorInquiry(disk, data), -1);
  EXPECT_EQ(errno, EINVAL) << "a disk is no processor";

  int far = MustOpen(a_, Dev(0, 0, 0, 6));
  ASSERT_EQ(a_.Inquiry(far, data), 0);
  EXPECT_EQ(data[0], 3);
  ASSERT_EQ(a_.ProcessorInquiry(far, data), 0);
  EXPECT_EQ(DescribeArea(*reinterpret_cast<VendorArea*>(data + 36)),
            "c10:nodeB")
      << "preset by stamp=";

  int own = MustOpen(a_, Dev(0, 0, 0, 7));
  memset(data, 0xAA, sizeof data);
  ASSERT_EQ(a_.ProcessorInquiry(own, data), 0);
  EXPECT_EQ(*reinterpret_cast<VendorArea*>(data + 36), VendorArea{});

  int proc = MustOpen(a_, Dev(0, 0, 0, 9));
  ASSERT_EQ(a_.ProcessorInquiry(proc, data), 0);
  EXPECT_EQ(data[0], 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 8, 8), "PROC    ");
}

TEST_F(ServiceTest, StampGoesToTheLocalAdapterAndIsSharedAndKept) {
  int disk = MustOpen(a_, Dev(0, 0, 0, 3));
  VendorArea area = MakeArea({0, 0, 0}, "nodeA");
  EXPECT_EQ(a_.SetInitiatorInquiry(disk, 20, area.data()), 0);
  errno = 0;
  EXPECT_EQ(a_.SetInitiatorInquiry(disk, 19, area.data()), -1);
  EXPECT_EQ(errno, EINVAL);

  unsigned char data[56];
  int seen_from_b = MustOpen(b_, Dev(0, 1, 0, 7));
  ASSERT_EQ(b_.ProcessorInquiry(seen_from_b, data), 0);
  EXPECT_EQ(DescribeArea(*reinterpret_cast<VendorArea*>(data + 36)),
            "c0:nodeA");

  // A written area replaces the preset one.
  int b_disk = MustOpen(b_, Dev(0, 1, 0, 3));
  VendorArea other = MakeArea({0, 1, 0}, "renamed");
  ASSERT_EQ(b_.SetInitiatorInquiry(b_disk, 20, other.data()), 0);

  Service later(cluster_.Root("nodeA"));
  int far = MustOpen(later, Dev(0, 0, 0, 6));
  ASSERT_EQ(later.ProcessorInquiry(far, data), 0);
  EXPECT_EQ(DescribeArea(*reinterpret_cast<VendorArea*>(data + 36)),
            "c10:renamed");
  int own = MustOpen(later, Dev(0, 0, 0, 7));
  ASSERT_EQ(later.ProcessorInquiry(own, data), 0);
  EXPECT_EQ(*reinterpret_cast<VendorArea*>(data + 36), area);
}

TEST_F(ServiceTest, InitiatorNodeIsTheLocalPortOrWhatTheFabricSays) {
  EXPECT_EQ(a_.InitiatorNode(MustOpen(a_, Dev(0, 0, 0, 3))), Dev(0, 0, 0, 7));
  EXPECT_EQ(b_.InitiatorNode(MustOpen(b_, Dev(0, 1, 0, 3))), Dev(0, 1, 0, 6));
  EXPECT_EQ(a_.InitiatorNode(MustOpen(a_, Dev(0, 0, 2, 0))), Dev(0, 0, 3, 5));
  // The node's own major is kept; s and d are 0.
  uint32_t major41 = (Dev(0, 0, 0, 3) & 0x3FFFFF) | 41u << 22 | 0x101;
  EXPECT_EQ(a_.InitiatorNode(MustOpen(a_, major41)),
            (Dev(0, 0, 0, 7) & 0x3FFFFF) | 41u << 22);
  errno = 0;
  EXPECT_EQ(a_.InitiatorNode(12345), 0xFFFFFFFFu);
  EXPECT_EQ(errno, EBADF);
}

}  // namespace
}  // namespace scsi
