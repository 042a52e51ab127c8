// Every fault option of the fabric, each alone on a device: the call it
// names fails and every other call still works.

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>

#include "platform/scsi/inquiry_data.h"
#include "platform/scsi/io.h"
#include "platform/scsi/scsi_test_util.h"
#include "platform/scsi/service.h"

namespace scsi {
namespace {

enum Call { kOpen, kInquiry, kStandardPass, kSerialPass, kProcInquiry,
            kSetInquiry, kCallCount };
const char* const kCallNames[] = {"open", "inquiry", "passthru",
                                  "serial page", "procinquiry",
                                  "setinquiry"};

// Runs every call on the device at target; returns the errno of each (0:
// success).  Processor inquiries are sent only to adapters.
std::vector<int> RunCalls(Service& s, const std::string& node, bool adapter) {
  std::vector<int> errors(kCallCount, 0);
  errno = 0;
  int fd = s.Open(node.c_str());
  if (fd < 0) {
    errors[kOpen] = errno;
    return errors;
  }
  unsigned char data[88];
  auto pass = [&](int evpd, int page, int length) {
    ScsiCommand cmd{};
    unsigned char cdb[6] = {0x12, static_cast<unsigned char>(evpd),
                            static_cast<unsigned char>(page), 0,
                            static_cast<unsigned char>(length), 0};
    memcpy(cmd.cdb, cdb, 6);
    cmd.data = data;
    cmd.length = static_cast<uint32_t>(length);
    ScsiRequest req{};
    req.cdb_length = 6;
    req.command = &cmd;
    errno = 0;
    return s.PassThrough(fd, libio_magic, &req) == 0 ? 0 : errno;
  };
  errno = 0;
  errors[kInquiry] = s.Inquiry(fd, data) == 0 ? 0 : errno;
  errors[kStandardPass] = pass(0, 0, 36);
  errors[kSerialPass] = pass(1, 0x80, 34);
  errno = 0;
  if (adapter) errors[kProcInquiry] = s.ProcessorInquiry(fd, data) == 0 ? 0 : errno;
  VendorArea area = MakeArea({0, 0, 0}, "m");
  errno = 0;
  errors[kSetInquiry] = s.SetInitiatorInquiry(fd, 20, area.data()) == 0 ? 0 : errno;
  s.Close(fd);
  return errors;
}

TEST(FaultsTest, EachFaultFailsOnlyItsCall) {
  struct Case {
    const char* option;
    bool on_adapter;  // the option stands on the adapter line, calls go to it
    std::vector<Call> failing;
    int error;
  } cases[] = {
      {"open=EACCES", false, {kOpen}, EACCES},
      {"open=ENXIO", true, {kOpen}, ENXIO},
      {"inquiry=fail", false, {kInquiry}, EIO},
      {"inquiry=fail", true, {kInquiry}, EIO},
      {"passthru=fail", false, {kStandardPass, kSerialPass}, EIO},
      {"passthru=fail", true, {kStandardPass, kSerialPass}, EIO},
      {"procinquiry=fail", true, {kProcInquiry}, EIO},
      {"setinquiry=fail", true, {kSetInquiry}, EIO},
      {"setinquiry=fail", false, {}, 0},  // only an adapter's own area
      {"evpd=fail", false, {kSerialPass}, EIO},
      {"initiator=0.0.0.5", true, {}, 0},
  };
  for (const Case& c : cases) {
    std::string fabric = std::string("bus b\n adapter m 0 0 0 7 ") +
                         (c.on_adapter ? c.option : "") +
                         "\n disk 1 V P R serial=S " +
                         (c.on_adapter ? "" : c.option) + "\n";
    TestCluster cluster(fabric);
    FabricService s(cluster.Root("m"));
    std::string node = cluster.Node("n", Dev(0, 0, 0, c.on_adapter ? 7 : 1));
    std::vector<int> errors = RunCalls(s, node, c.on_adapter);
    for (int call = 0; call < kCallCount; ++call) {
      bool fails = false;
      for (Call f : c.failing) fails = fails || f == call;
      if (fails) {
        EXPECT_EQ(errors[call], c.error) << c.option << " " << kCallNames[call];
      } else if (!(errors[kOpen] != 0 && call > kOpen)) {
        EXPECT_EQ(errors[call], 0) << c.option << " " << kCallNames[call];
      }
    }
  }
}

}  // namespace
}  // namespace scsi
