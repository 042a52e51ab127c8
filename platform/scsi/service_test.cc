// The SCSI stand-in over a simulated fabric: the fabric file's rules, what
// the service answers beyond what qv_cspec's runs show, and a corrupt
// fabric.state never overwritten; then the Linux backend over a fake
// sysfs.  Which node opens with which errno, as the probe meets them, is
// shown by qv_cspec's own end-to-end and robustness tests.  (Two writers
// of fabric.state at once are left untested: the lock serves only the
// simulation.)

#include "platform/scsi/service.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/scsi/fabric_parser.h"
#include "platform/scsi/inquiry_data.h"
#include "platform/scsi/io.h"
#include "platform/scsi/linux_service.h"
#include "platform/scsi/state.h"
#include "tests/e2e_util.h"

namespace scsi {
namespace {

uint32_t Dev(int bus, int controller, int scsi_bus, int target) {
  return e2e::Dev(35, bus, controller, scsi_bus, target);
}

class ServiceTest : public testing::Test {
 protected:
  ServiceTest() {
    e2e::WriteFile(dir_.path() + "/fabric",
                   "bus b\n  adapter nodeA 0 0 0 7\n  disk 3 V P R\n");
    mkdir((dir_.path() + "/nodeA").c_str(), 0755);
  }
  // Opens a fresh node with dev on service s; the errno it left in *error.
  int Open(Service& s, uint32_t dev, int* error = nullptr) {
    std::string path = dir_.path() + "/node" + std::to_string(++nodes_);
    e2e::MakeNode(path, dev);
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

  e2e::ScopedTempDir dir_;
  int nodes_ = 0;
};

// One row per rule of the fabric file: the line a bad fabric is refused at
// and the cause named, or line 0 for a fabric at the edge of a limit that
// is accepted.
TEST(FabricTest, RefusesBadLinesNamingLineAndCause) {
  const std::string serial(kMaxSerialLength, 'x');
  // NUL bytes: RobustFaultsTest.HostileFarNodeNameAndFabric.
  const struct {
    std::string text;
    int line;
    const char* message;
  } cases[] = {
      {"adapter a 0 0 0 7\n", 1, "adapter: comes before any bus line"},
      {"bus\n", 1, "bus: expected bus <name>"},
      {"bus a\nbus a\n", 2, "bus \"a\" already opened at line 1"},
      {"bus a x=1\n", 1, "bus: takes no options"},
      {"bus a\n\nfloppy 1\n", 3, "unknown line \"floppy\""},
      {"open=EIO\n", 1, "a line begins with bus, adapter, disk or device"},
      {"bus a\nadapter m 8 0 0 7\n", 2,
       "adapter: bus \"8\" is not a number from 0 to 7"},
      {"bus a\nadapter .. 0 0 0 1\n", 2, "adapter: machine name"},
      {"bus a\nadapter fabric 0 0 0 1\n", 2, "adapter: machine name"},
      {"bus a\nadapter m 0 0 0 1\nbus b\nadapter m 0 0 0 2\n", 4,
       "adapter: m 0.0.0 is already attached at line 2"},
      {"bus a\nadapter m 0 0 0 1\ndisk 1 V P R\n", 3,
       "disk: target 1 of bus \"a\" is already taken at line 2"},
      // Vendor and product at their limits, the revision one past its own.
      {"bus a\ndisk 1 VENDOR12 1234567890123456 12345\n", 2,
       "disk: revision \"12345\" is longer than 4 characters"},
      {"bus a\ndisk 1 V P R colour=red\n", 2, "unknown option \"colour\""},
      {"bus a\ndisk 1 V P R stamp=c0:x\n", 2,
       "option \"stamp\" does not apply to disk"},
      {"bus a\ndisk 1 V P R open=EIO open=EIO\n", 2,
       "option \"open\" given twice"},
      {"bus a\ndisk 1 V P R open=5\n", 2, "open: unknown errno name"},
      {"bus a\ndisk 1 V P R inquiry=yes\n", 2,
       "inquiry: the only value is \"fail\""},
      {"bus a\nadapter m 0 0 0 1 stamp=c00:x\n", 2, "stamp: expected"},
      {"bus a\nadapter m 0 0 0 1 stamp=c0:123456789012345678\n", 2,
       "stamp: node name \"123456789012345678\" is longer than 17 bytes"},
      {"bus a\nadapter m 0 0 0 1 stamp=c773:12345678901234567\n", 0, ""},
      {"bus a\nadapter m 0 0 0 1 initiator=0.0.4.1\n", 2,
       "initiator: expected"},
      {"bus a\ndisk 1 V P R serial=" + serial + "\n", 0, ""},
      {"bus a\ndisk 1 V P R serial=" + serial + "x\n", 2, "serial: longer"},
      {"bus a\ndisk 1 \"V P R\n", 2, "unterminated quote"},
  };
  for (const auto& c : cases) {
    Fabric f;
    ParseError error;
    bool ok = ParseFabric(c.text, &f, &error);
    EXPECT_EQ(ok ? 0 : error.line, c.line) << c.text;
    EXPECT_NE(error.message.find(c.message), std::string::npos)
        << c.text << " gave: " << error.message;
  }
}

// What the simulated service answers that qv_cspec's runs do not show: a
// disk has no processor inquiry, the fabric is read once
// per service, the node's s and d fields and bit 13 do not address, a
// closed descriptor is closed; a bad fabric answers EIO.  A corrupt
// fabric.state is named by file and line and never overwritten.
TEST_F(ServiceTest, AnswersBeyondTheProbeAndKeepsACorruptState) {
  FabricService a(dir_.path() + "/nodeA");
  int disk = Open(a, Dev(0, 0, 0, 3));
  EXPECT_EQ(Area(a, disk), "(failed)");
  e2e::WriteFile(dir_.path() + "/fabric", "garbage\n");
  int fd = Open(a, Dev(0, 0, 0, 3) | 0x2101);
  EXPECT_EQ(a.Close(fd), 0);
  errno = 0;
  EXPECT_EQ(a.Close(fd), -1);
  EXPECT_EQ(errno, EBADF);
  int error = 0;
  FabricService bad(dir_.path() + "/nodeA");
  EXPECT_EQ(Open(bad, Dev(0, 0, 0, 3), &error), -1);
  EXPECT_EQ(error, EIO);

  StateFile state(dir_.path() + "/fabric.state");
  const std::string text = "# ok\nnodeA 0.0.0 nothex\n";
  e2e::WriteFile(state.path(), text);
  std::string message;
  AreaMap areas;
  errno = 0;
  EXPECT_FALSE(state.Read(&areas, &message));
  EXPECT_EQ(errno, EIO);
  EXPECT_FALSE(state.Write("nodeB 0.0.0", VendorArea{}, &message));
  EXPECT_EQ(message.rfind(state.path() + ":2: ", 0), 0u) << message;
  EXPECT_EQ(e2e::ReadFile(state.path()), text);
}

#ifdef __linux__
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

// The Linux backend against a fake sysfs tree in the test's directory:
// how node addresses map to hosts, channels and targets, what each missing
// piece answers, and the adapter's own INQUIRY with its kept area.  What
// needs a kernel (SG_IO) is proved in a QEMU guest (tests/linux_vm_test.sh).
TEST_F(ServiceTest, LinuxBackendMapsAddressesAndKeepsTheAdaptersArea) {
  const std::string dir = dir_.path();
  const std::string adapters = dir + "/var/lib/ruded/adapters";
  AddHost(dir, 0, "pci0000:00/0000:00:04.0", "sym53c8xx", 7);
  AddHost(dir, 10, "pci0000:00/0000:00:06.0/virtio2", "virtio_scsi", -1);
  // Devices H:C:T:L with their generic node: none for 0:0:2:0, one whose
  // /dev entry is a link that does not resolve for 0:0:3:0.
  for (const char* hctl : {"0:0:0:0", "0:0:2:0", "0:0:3:0", "10:1:3:0"})
    e2e::WriteFile(dir + "/sys/bus/scsi/devices/" + hctl + "/type", "0\n");
  for (const char* sg : {"0:0:0:0/scsi_generic/sg0", "0:0:3:0/scsi_generic/sg5",
                         "10:1:3:0/scsi_generic/sg1"})
    e2e::WriteFile(dir + "/sys/bus/scsi/devices/" + sg + "/dev", "");
  e2e::WriteFile(dir + "/dev/sg0", "");
  e2e::WriteFile(dir + "/dev/sg1", "");
  Link("sg5", dir + "/dev/sg5");
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
      {0, 1, 0, 0, ENXIO, false},   // no host 1
      {1, 2, 1, 3, 0, false},       // host 10, channel 1: 10:1:3:0
      {1, 2, 1, 7, 0, true},        // no hba_id: ID 7
      {1, 2, 0, 0, ENODEV, false},  // channel 0 is on every host
      {1, 2, 2, 0, ENXIO, false},   // host 10 shows no channel 2
  };
  LinuxService s(dir + "/sys", dir + "/dev", adapters);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bus << "." << c.controller << "."
                                    << c.scsi_bus << " t" << c.target);
    int error = 0;
    int fd = Open(s, Dev(c.bus, c.controller, c.scsi_bus, c.target), &error);
    EXPECT_EQ(fd < 0 ? error : 0, c.error) << strerror(error);
    if (fd < 0) continue;
    EXPECT_EQ(s.InitiatorNode(fd), Dev(c.bus, c.controller, c.scsi_bus, 7));
    EXPECT_EQ(Area(s, fd) != "(failed)", c.adapter);
    EXPECT_EQ(s.Close(fd), 0);
  }

  // The adapter answers for itself; its area is kept by its device path, so
  // a stamp made through any node of the host survives host renumbering.
  int adapter = Open(s, Dev(0, 0, 0, 7));
  unsigned char data[56];
  ASSERT_EQ(s.ProcessorInquiry(adapter, data), 0);
  EXPECT_EQ(data[0], 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 8), 28),
            "LINUX   sym53c8xx       1.0 ");
  EXPECT_EQ(Area(s, adapter), "uninitialized");

  int disk = Open(s, Dev(0, 0, 0, 0));
  VendorArea stamp = MakeArea({0, 0, 0}, "vmnode");
  EXPECT_EQ(s.SetInitiatorInquiry(disk, 20, stamp.data()), 0);
  EXPECT_EQ(e2e::ReadFile(adapters),
            std::string(kAdapterFileFormat.header) +
                "/devices/pci0000:00/0000:00:04.0 0 fe0000766d6e6f6465"
                "0000000000000000000000\n");

  // The same adapter as host 4 after a reboot.
  AddHost(dir + "/later", 4, "pci0000:00/0000:00:04.0", "sym53c8xx", 7);
  LinuxService again(dir + "/later/sys", dir + "/later/dev", adapters);
  EXPECT_EQ(Area(again, Open(again, Dev(0, 4, 0, 7))), "c0:vmnode");
}

#endif  // __linux__

}  // namespace
}  // namespace scsi
