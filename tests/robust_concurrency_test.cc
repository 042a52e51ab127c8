// qv_cspec runs at the same moment and runs interrupted.  A -d -r run
// stalled mid-probe (its lines fill a pipe nobody reads) holds
// the lock on device_info and its probe node: a second -r run leaves the
// file to it, and each signal removes the node and ends the run as the
// signal would (one its caller ignores stays ignored).

#include <errno.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

using e2e::Cluster;
using e2e::Running;
using Names = std::vector<std::string>;

// Buses s0, s1, ... shared by nodeA's port i (target 7) and nodeB's port i
// (target 6), each with disks "SEAGATE ST1 0001" at the given targets,
// serial S<bus>T<target>.
std::string SharedBuses(int count, const std::vector<int>& disks) {
  std::string fabric;
  for (int i = 0; i < count; ++i) {
    fabric += "bus s" + std::to_string(i) + "\n  adapter nodeA " +
              e2e::Port(i) + " 7\n  adapter nodeB " + e2e::Port(i) + " 6\n";
    for (int t : disks)
      fabric += "  disk " + std::to_string(t) + " SEAGATE ST1 0001 serial=S" +
                std::to_string(i) + "T" + std::to_string(t) + "\n";
  }
  return fabric;
}

// A -d -r run by nodeA that is long: eight shared buses with fourteen
// disks each, then 128 ports of nodeA alone, each costing fifteen failed
// tries and, with -d, some 900 bytes of lines: enough to fill a pipe while
// device_info is locked.  It stalls with its probe node made, which it
// does only once it holds the lock on device_info: a second -r run beside
// it leaves the file to it.  Each signal then ends the stalled run as it would end
// the command, after the probe node is removed; a signal its caller
// ignores stays ignored (then reading the pipe lets the run end, its
// device_info whole).  Killed outright, it leaves its node but not its
// lock.  Either way the next -r run gets device_info.
TEST(RobustConcurrencyTest, EachSignalRemovesTheProbeNodeAndTheLock) {
  e2e::ScopedTempDir tmp;
  Cluster cluster(tmp.path() + "/cluster");
  std::string fabric =
      SharedBuses(8, {0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14, 15});
  for (int p = 0; p < 128; ++p)
    fabric += "bus l" + std::to_string(p) + "\n  adapter nodeA " +
              std::to_string(1 + p / 32) + " " + std::to_string(p / 4 % 8) +
              " " + std::to_string(p % 4) + " 15\n";
  ASSERT_EQ(cluster.Create(fabric).status, 0);
  // What a -r run alone writes: a line for each of the 112 disks.
  ASSERT_EQ(cluster.Cspec("nodeA", {"-r"}).status, 0);
  const std::string info = cluster.DeviceInfo("nodeA");
  ASSERT_EQ(e2e::Lines(info, "c").size(), 112u) << info;
  const struct {
    int sig;
    std::vector<int> ignored;
    int status;
  } cases[] = {
      // Every signal it catches: node removed, raised again.  Each is a
      // row, since a signal left out of the caught set takes the default
      // path and leaves the node behind.
      {SIGINT, {}, 128 + SIGINT},
      {SIGTERM, {}, 128 + SIGTERM},
      {SIGHUP, {}, 128 + SIGHUP},
      {SIGQUIT, {}, 128 + SIGQUIT},
      {SIGPIPE, {}, 128 + SIGPIPE},
      {SIGHUP, {SIGHUP}, 0},
      {SIGKILL, {}, 128 + SIGKILL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << strsignal(c.sig) << c.ignored.size());
    Running run(cluster, "nodeA", {"-d", "-r"}, c.ignored);
    const std::string node = cluster.Hostadp("nodeA") + "/" + run.TmpNode();
    ASSERT_TRUE(e2e::WaitFor([&] { return e2e::Exists(node); }));
    e2e::RunResult r;
    if (c.status == 0) {
      r = cluster.Cspec("nodeA", {"-r"});
      EXPECT_EQ(r.status, 0);
      // Linux reports a lock held by another process as EAGAIN.
      EXPECT_EQ(r.out + r.err,
                "qv_cspec: Unable to get exclusive lock on SCSI device info "
                "file: " + std::to_string(EAGAIN) + "\n");
    }
    ASSERT_EQ(kill(run.pid(), c.sig), 0);
    EXPECT_EQ(run.Wait().status, c.status);
    if (c.sig != SIGKILL) {
      EXPECT_EQ(e2e::ListDir(cluster.Hostadp("nodeA")),
                (Names{"cspecials", "device_info"}));
    }
    if (c.status == 0) {
      EXPECT_EQ(cluster.DeviceInfo("nodeA"), info);
    }
    r = cluster.Cspec("nodeA", {"-r"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(cluster.DeviceInfo("nodeA"), info);
  }
}

}  // namespace
