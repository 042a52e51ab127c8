#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>

#include <fstream>

#include "platform/scsi/io.h"
#include "platform/scsi/scsi_test_util.h"
#include "platform/scsi/service.h"

namespace scsi {
namespace {

const char kFabric[] =
    "bus shared\n"
    "  adapter nodeA 0 0 0 7\n"
    "  adapter nodeB 0 1 0 6 stamp=c10:nodeB\n"
    "  disk 3 SEAGATE ST31200N 8724 serial=SEA123\n"
    "  disk 4 HP C2490A 1.0\n";

struct Sent {
  int result;
  int error;
  unsigned char sense[252];
};

class PassThroughTest : public testing::Test {
 protected:
  PassThroughTest() : cluster_(kFabric), a_(cluster_.Root("nodeA")) {}

  int OpenTarget(int target) {
    std::string path =
        cluster_.Node("t" + std::to_string(target), Dev(0, 0, 0, target));
    int fd = a_.Open(path.c_str());
    EXPECT_GE(fd, 0) << strerror(errno);
    return fd;
  }
  // Sends the CDB 12h evpd page 0 allocation 0 with data length `length`.
  Sent Inquire(int fd, int evpd, int page, int allocation, unsigned char* data,
               uint32_t length, int opcode = 0x12) {
    ScsiCommand cmd{};
    unsigned char cdb[6] = {static_cast<unsigned char>(opcode),
                            static_cast<unsigned char>(evpd),
                            static_cast<unsigned char>(page), 0,
                            static_cast<unsigned char>(allocation), 0};
    memcpy(cmd.cdb, cdb, 6);
    cmd.data = data;
    cmd.length = length;
    Sent sent{};
    ScsiRequest req{};
    req.sense = sent.sense;
    req.cdb_length = 6;
    req.command = &cmd;
    req.mode = 3;
    errno = 0;
    sent.result = a_.PassThrough(fd, libio_magic, &req);
    sent.error = errno;
    return sent;
  }

  TestCluster cluster_;
  Service a_;
};

TEST_F(PassThroughTest, TransfersWhatTheDeviceHasUpToTheAllocation) {
  unsigned char data[128];
  int far = OpenTarget(6), disk = OpenTarget(3);

  memset(data, 0xAA, sizeof data);
  ASSERT_EQ(Inquire(far, 0, 0, 36, data, 36).result, 0);
  EXPECT_EQ(data[0], 3);
  EXPECT_EQ(data[36], 0xAA) << "nothing past the allocation length";

  ASSERT_EQ(Inquire(far, 0, 0, 56, data, 56).result, 0);
  EXPECT_EQ(data[36], 0xFE);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 39, 5), "nodeB");

  memset(data, 0xAA, sizeof data);
  ASSERT_EQ(Inquire(disk, 0, 0, 96, data, 96).result, 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 8, 8), "SEAGATE ");
  EXPECT_EQ(data[35], '4');
  for (int i = 36; i < 96; ++i) ASSERT_EQ(data[i], 0) << i;
  EXPECT_EQ(data[96], 0xAA);

  memset(data, 0xAA, sizeof data);
  ASSERT_EQ(Inquire(disk, 1, 0x80, 34, data, 34).result, 0);
  EXPECT_EQ(data[1], 0x80);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 4, 7),
            std::string("SEA123\0", 7));
  ASSERT_EQ(Inquire(disk, 1, 0xE0, 88, data, 88).result, 0);
  EXPECT_EQ(data[1], 0xE0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 18, 7),
            std::string("SEA123\0", 7));

  // A disk without serial= has both pages, with an empty serial.
  int plain = OpenTarget(4);
  memset(data, 0xAA, sizeof data);
  ASSERT_EQ(Inquire(plain, 1, 0x80, 34, data, 34).result, 0);
  EXPECT_EQ(data[3], 0);
  EXPECT_EQ(data[4], 0);
}

TEST_F(PassThroughTest, RefusesMalformedRequestsAndUnknownCommands) {
  unsigned char data[64];
  int disk = OpenTarget(3);
  struct Case {
    const char* what;
    Sent sent;
    int error;
    int sense_key;  // -1: no sense expected
    int code;
  } cases[] = {
      {"unknown page", Inquire(disk, 1, 0x83, 34, data, 34), EIO, 5, 0x24},
      {"page without evpd", Inquire(disk, 0, 0x80, 36, data, 36), EIO, 5,
       0x24},
      {"not an inquiry", Inquire(disk, 0, 0, 36, data, 36, 0x00), EIO, 5,
       0x20},
      {"length differs from allocation", Inquire(disk, 0, 0, 36, data, 30),
       EINVAL, -1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.sent.result, -1) << c.what;
    EXPECT_EQ(c.sent.error, c.error) << c.what;
    if (c.sense_key >= 0) {
      EXPECT_EQ(c.sent.sense[0], 0x70) << c.what;
      EXPECT_EQ(c.sent.sense[2], c.sense_key) << c.what;
      EXPECT_EQ(c.sent.sense[12], c.code) << c.what;
    }
  }

  ScsiRequest req{};
  errno = 0;
  EXPECT_EQ(a_.PassThrough(disk, libio_magic + 1, &req), -1);
  EXPECT_EQ(errno, EINVAL);
  errno = 0;
  EXPECT_EQ(a_.PassThrough(disk, libio_magic, &req), -1);
  EXPECT_EQ(errno, EFAULT) << "no command";
  ScsiCommand cmd{};
  req.command = &cmd;
  req.cdb_length = 10;
  errno = 0;
  EXPECT_EQ(a_.PassThrough(disk, libio_magic, &req), -1);
  EXPECT_EQ(errno, EINVAL) << "only six-byte CDBs";
  req.cdb_length = 6;
  errno = 0;
  EXPECT_EQ(a_.PassThrough(disk + 100, libio_magic, &req), -1);
  EXPECT_EQ(errno, EBADF);
}

// An unreadable state file costs only what needs the area: the 36-byte
// standard data of an adapter still comes, the 56-byte data fails with a
// message naming the file and line.
TEST_F(PassThroughTest, CorruptStateFailsOnlyWhatReadsTheArea) {
  std::ofstream(cluster_.dir() + "/fabric.state") << "nodeB 0.1.0 xyz\n";
  unsigned char data[56];
  int far = OpenTarget(6);
  testing::internal::CaptureStderr();
  Sent short_one = Inquire(far, 0, 0, 36, data, 36);
  Sent long_one = Inquire(far, 0, 0, 56, data, 56);
  errno = 0;
  int library = a_.ProcessorInquiry(far, data);
  int library_error = errno;
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(short_one.result, 0);
  EXPECT_EQ(long_one.result, -1);
  EXPECT_EQ(long_one.error, EIO);
  EXPECT_EQ(library, -1);
  EXPECT_EQ(library_error, EIO);
  std::string line = cluster_.Root("nodeA") + "/../fabric.state:1: expected "
                     "<machine> <bus>.<controller>.<scsi-bus> <40 hex digits>\n";
  EXPECT_EQ(err, line + line);
}

}  // namespace
}  // namespace scsi
