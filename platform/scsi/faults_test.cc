// Every fault option of the fabric, each alone on a device: the call it
// names fails and every other call still works.

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "platform/os/os.h"
#include "platform/scsi/inquiry_data.h"
#include "platform/scsi/io.h"
#include "platform/scsi/scsi_test_util.h"
#include "platform/scsi/service.h"
#include "platform/scsi/state.h"

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
    Service s(cluster.Root("m"));
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

// Two machines stamping all their adapters at the same moment, each in its
// own process: every area ends up set and the state file stays readable.
TEST(FaultsTest, TwoMachinesStampingAtOnceLoseNothing) {
  constexpr int kPorts = 32;
  std::string fabric;
  for (int i = 0; i < kPorts; ++i) {
    std::string port = " 0 " + std::to_string(i / 4) + " " +
                       std::to_string(i % 4);
    fabric += "bus b" + std::to_string(i) + "\n adapter nodeA" + port +
              " 7\n adapter nodeB" + port + " 6\n";
  }
  TestCluster cluster(fabric);
  std::vector<pid_t> children;
  for (const char* machine : {"nodeA", "nodeB"}) {
    std::vector<std::string> nodes;
    for (int i = 0; i < kPorts; ++i)
      nodes.push_back(cluster.Node(std::string(machine) + std::to_string(i),
                                   Dev(0, i / 4, i % 4, 7)));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      Service s(cluster.Root(machine));
      bool ok = true;
      for (int i = 0; i < kPorts; ++i) {
        int fd = s.Open(nodes[i].c_str());
        VendorArea area = MakeArea({0, i / 4, i % 4}, machine);
        ok = ok && fd >= 0 && s.SetInitiatorInquiry(fd, 20, area.data()) == 0;
        s.Close(fd);
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  StateFile state(cluster.dir() + "/fabric.state");
  AreaMap areas;
  std::string message;
  ASSERT_TRUE(state.Read(&areas, &message)) << message;
  ASSERT_EQ(areas.size(), 2u * kPorts);
  for (const char* machine : {"nodeA", "nodeB"})
    for (int i = 0; i < kPorts; ++i) {
      Port p{0, i / 4, i % 4};
      EXPECT_EQ(areas[AreaKey(machine, p)], MakeArea(p, machine));
    }
}

// The C entry points, on the machine that RUDED_ROOT names: node paths are
// mapped under the root, and the fabric is read once per process.
TEST(FaultsTest, CallsServeTheMachineOfTheRootAndReadTheFabricOnce) {
  TestCluster cluster(
      "bus b\n adapter m 0 0 0 7\n disk 2 V P R serial=S\n");
  const char* old = getenv(RUDED_ROOT_ENV);
  std::string saved = old ? old : "";
  setenv(RUDED_ROOT_ENV, cluster.Root("m").c_str(), 1);
  ResetServiceForTesting();
  mkdir((cluster.Root("m") + "/tmp").c_str(), 0755);
  ASSERT_EQ(_xmknod(XMKNOD_VER, "/tmp/n", S_IFCHR | 0400, Dev(0, 0, 0, 2)), 0)
      << strerror(errno);
  int fd = IO_Open("/tmp/n", 0);
  ASSERT_GE(fd, 0) << strerror(errno);
  unsigned char data[56];
  EXPECT_EQ(IO_Inquiry(fd, data), 0);
  EXPECT_EQ(IO_GetInitiatorNode(fd), Dev(0, 0, 0, 7));
  EXPECT_EQ(IO_Close(fd), 0);
  // Changing the fabric now changes nothing for this process.
  std::ofstream(cluster.dir() + "/fabric") << "garbage\n";
  fd = IO_Open("/tmp/n", 0);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(IO_GetProcessorInquiry(fd, data), -1);
  EXPECT_EQ(IO_Close(fd), 0);
  errno = 0;
  EXPECT_EQ(IO_SetInitiatorInquiry(-1, 20, data), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(IO_PassThrough(-1, libio_magic, nullptr), -1);
  if (old)
    setenv(RUDED_ROOT_ENV, saved.c_str(), 1);
  else
    unsetenv(RUDED_ROOT_ENV);
  ResetServiceForTesting();
}

}  // namespace
}  // namespace scsi
