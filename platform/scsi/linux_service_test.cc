// The Linux backend against a fake sysfs tree in a temporary directory:
// how node addresses map to hosts, channels and targets, what each missing
// piece answers, and the adapter's own INQUIRY with its kept area.  What
// needs a kernel (SG_IO) is proved in a QEMU guest (tests/linux_vm_test.sh).

#include "platform/scsi/linux_service.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "platform/scsi/fabric.h"
#include "platform/scsi/inquiry_data.h"
#include "tests/e2e_util.h"

namespace scsi {
namespace {

uint32_t Dev(int bus, int controller, int scsi_bus, int target) {
  return e2e::Dev(35, bus, controller, scsi_bus, target);
}

void Link(const std::string& target, const std::string& at) {
  e2e::WriteFile(at, "");  // makes its directories
  unlink(at.c_str());
  ASSERT_EQ(symlink(target.c_str(), at.c_str()), 0) << at;
}

// Host n of the fake sysfs under root, hanging off the device at path below
// sys/devices; hba_id < 0: a transport without one.
void AddHost(const std::string& root, int n, const std::string& path,
             const std::string& proc_name, int hba_id) {
  const std::string host = "host" + std::to_string(n);
  const std::string dir = root + "/sys/devices/" + path + "/" + host;
  e2e::WriteFile(dir + "/scsi_host/" + host + "/proc_name", proc_name + "\n");
  Link("../../../" + host, dir + "/scsi_host/" + host + "/device");
  Link(dir + "/scsi_host/" + host, root + "/sys/class/scsi_host/" + host);
  if (hba_id < 0) return;
  e2e::WriteFile(dir + "/spi_host/" + host + "/hba_id",
                 std::to_string(hba_id) + "\n");
  Link(dir + "/spi_host/" + host, root + "/sys/class/spi_host/" + host);
}

class LinuxServiceTest : public testing::Test {
 protected:
  LinuxServiceTest() {
    AddHost(dir_.path(), 0, "pci0000:00/0000:00:04.0", "sym53c8xx", 7);
    AddHost(dir_.path(), 10, "pci0000:00/0000:00:06.0/virtio2", "virtio_scsi",
            -1);
    // Devices H:C:T:L with their generic node: none for 0:0:2:0, one whose
    // /dev entry is a link that does not resolve for 0:0:3:0.
    for (const char* hctl : {"0:0:0:0", "0:0:2:0", "0:0:3:0", "10:1:3:0"})
      e2e::WriteFile(Sys("/bus/scsi/devices/") + hctl + "/type", "0\n");
    for (const char* d :
         {"0:0:0:0/scsi_generic/sg0", "0:0:3:0/scsi_generic/sg5",
          "10:1:3:0/scsi_generic/sg1"})
      e2e::WriteFile(Sys("/bus/scsi/devices/") + d + "/dev", "");
    e2e::WriteFile(dir_.path() + "/dev/sg0", "");
    e2e::WriteFile(dir_.path() + "/dev/sg1", "");
    Link("sg5", dir_.path() + "/dev/sg5");
  }
  std::string Sys(const std::string& path) const {
    return dir_.path() + "/sys" + path;
  }
  LinuxService Service(const std::string& root) const {
    return LinuxService(root + "/sys", root + "/dev", adapters_);
  }
  // Opens a fresh node with the address; *error gets errno on failure.
  int Open(LinuxService& s, int b, int c, int sb, int t, int* error) {
    std::string node = dir_.path() + "/node" + std::to_string(++nodes_);
    e2e::MakeNode(node, Dev(b, c, sb, t));
    errno = 0;
    int fd = s.Open(node.c_str());
    *error = fd < 0 ? errno : 0;
    return fd;
  }

  e2e::ScopedTempDir dir_;
  std::string adapters_ = dir_.path() + "/var/lib/ruded/adapters";
  int nodes_ = 0;
};

TEST_F(LinuxServiceTest, AddressesMapToHostsChannelsAndTargets) {
  LinuxAddress last = ToLinuxAddress(DecodeDev(Dev(7, 6, 3, 15)));
  EXPECT_EQ(last.host * 1000 + last.channel * 100 + last.target, 62315);
  struct Case {
    int bus, controller, scsi_bus, target;
    int error;     // of the open; 0: it opens
    bool adapter;  // answered as the host adapter itself
  } cases[] = {
      {0, 0, 0, 0, 0, false},       // 0:0:0:0, /dev/sg0
      {0, 0, 0, 1, ENODEV, false},  // nothing at the target
      {0, 0, 0, 2, ENOENT, false},  // no scsi_generic
      {0, 0, 0, 3, ELOOP, false},   // /dev/sg5 fails to open
      {0, 0, 0, 7, 0, true},        // hba_id 7: the adapter
      {0, 0, 1, 0, ENXIO, false},   // host 0 shows no channel 1
      {0, 1, 0, 0, ENXIO, false},   // no host 1
      {1, 2, 1, 3, 0, false},       // host 10, channel 1: 10:1:3:0
      {1, 2, 1, 7, 0, true},        // no hba_id: ID 7
      {1, 2, 0, 0, ENODEV, false},  // channel 0 is on every host
      {1, 2, 2, 0, ENXIO, false},
  };
  LinuxService s = Service(dir_.path());
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bus << "." << c.controller << "."
                                    << c.scsi_bus << " t" << c.target);
    int error = 0;
    int fd = Open(s, c.bus, c.controller, c.scsi_bus, c.target, &error);
    EXPECT_EQ(error, c.error) << strerror(error);
    if (fd < 0) continue;
    EXPECT_EQ(s.InitiatorNode(fd), Dev(c.bus, c.controller, c.scsi_bus, 7));
    unsigned char data[56];
    errno = 0;
    EXPECT_EQ(s.ProcessorInquiry(fd, data) == 0, c.adapter) << errno;
    EXPECT_EQ(s.Close(fd), 0);
    EXPECT_EQ(s.Close(fd), -1);
  }
  std::string file = dir_.path() + "/file";
  e2e::WriteFile(file, "");
  errno = 0;
  EXPECT_EQ(s.Open(file.c_str()), -1);
  EXPECT_EQ(errno, ENODEV) << "a regular file addresses no device";
}

// The adapter answers for itself; its area is kept by its device path, so
// a stamp made through any node of the host survives host renumbering.
TEST_F(LinuxServiceTest, AdapterAnswersItselfAndKeepsItsAreaByDevicePath) {
  LinuxService s = Service(dir_.path());
  int error = 0;
  int adapter = Open(s, 0, 0, 0, 7, &error);
  ASSERT_GE(adapter, 0) << strerror(error);
  unsigned char data[56];
  ASSERT_EQ(s.ProcessorInquiry(adapter, data), 0);
  EXPECT_EQ(data[0], 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 8), 28),
            "LINUX   sym53c8xx       1.0 ");
  VendorArea area;
  memcpy(area.data(), data + 36, area.size());
  EXPECT_EQ(DescribeArea(area), "uninitialized");

  unsigned char sense[18] = {};
  ScsiCommand cmd = {{0x12, 1, 0x80, 0, 34, 0}, data, 34};
  ScsiRequest req = {sense, 6, &cmd, 3, {0}};
  EXPECT_EQ(s.PassThrough(adapter, libio_magic, &req), -1);
  EXPECT_EQ(sense[2], 0x05);
  EXPECT_EQ(sense[12], 0x24) << "an adapter has no serial-number page";
  int disk = Open(s, 0, 0, 0, 0, &error);
  cmd = {{0x00, 0, 0, 0, 0, 0}, nullptr, 0};
  EXPECT_EQ(s.PassThrough(disk, libio_magic, &req), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(sense[12], 0x20) << "only INQUIRY reaches a device";

  VendorArea stamp = MakeArea({0, 0, 0}, "vmnode");
  EXPECT_EQ(s.SetInitiatorInquiry(disk, 20, stamp.data()), 0);
  EXPECT_EQ(e2e::ReadFile(adapters_),
            std::string(kAdapterFileFormat.header) +
                "/devices/pci0000:00/0000:00:04.0 0 fe0000766d6e6f6465"
                "0000000000000000000000\n");

  // The same adapter as host 4 after a reboot.
  AddHost(dir_.path() + "/later", 4, "pci0000:00/0000:00:04.0", "sym53c8xx", 7);
  LinuxService again = Service(dir_.path() + "/later");
  int fd = Open(again, 0, 4, 0, 7, &error);
  ASSERT_EQ(again.ProcessorInquiry(fd, data), 0) << strerror(error);
  memcpy(area.data(), data + 36, area.size());
  EXPECT_EQ(DescribeArea(area), "c0:vmnode");
}

}  // namespace
}  // namespace scsi
