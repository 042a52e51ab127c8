// Every fault the simulated hardware can inject, in one fabric: a disk
// with each fault on one shared bus, and one bus of its own for each fault
// on this machine's adapter and on the far machine's adapter.  qv_cspec
// must end with status 0 whatever fails, list in device_info exactly the
// disks that could be read, and make exactly the nodes whose setup
// succeeded.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

using e2e::Adapter;
using e2e::InfoLine;
using e2e::Port;
using Names = std::vector<std::string>;

// Faults of one disk on the shared bus "disks", behind nodeA's port c0.
struct DiskCase {
  int target;
  const char* faults;
  bool readable;  // gets a device_info line
  bool reports;   // its serial-number command fails, with two messages
};

constexpr DiskCase kDiskCases[] = {
    {1, "open=EIO", false, false},
    {2, "open=ENODEV", false, false},
    {3, "open=ENXIO", false, false},
    {4, "open=EBUSY", false, false},
    {5, "inquiry=fail", true, false},   // the pass-through answers first
    {8, "passthru=fail", false, true},  // serials need the pass-through
    {9, "inquiry=fail passthru=fail", false, false},
    {10, "procinquiry=fail", true, false},
    {11, "setinquiry=fail", true, false},
    {12, "evpd=fail", false, true},
    {13, "evpd=fail inquiry=fail", false, true},
    {14, "procinquiry=fail setinquiry=fail", true, false},
};

// Faults of an adapter on a bus of its own: nodeA's own port (initiator
// side) or nodeB's port (responder side), each bus also holding a healthy
// disk at target 0 and the other machine's healthy adapter.
struct AdapterCase {
  const char* faults;
  bool node;     // its node is asked for (and made)
  bool stamped;  // this machine's area is set (own port only)
};

constexpr AdapterCase kOwnCases[] = {
    {"", true, true},
    {"open=EIO", false, false},
    {"open=ENODEV", false, false},
    {"open=ENXIO", false, false},
    {"inquiry=fail", true, true},
    {"passthru=fail", true, true},
    {"inquiry=fail passthru=fail", false, false},
    {"procinquiry=fail", true, true},
    {"procinquiry=fail passthru=fail", false, false},
    // The node is asked for before the area is written.
    {"setinquiry=fail", true, false},
    {"evpd=fail", true, true},
};

constexpr AdapterCase kFarCases[] = {
    {"open=EIO", false, false},
    {"open=ENODEV", false, false},
    {"inquiry=fail", true, false},
    {"passthru=fail", true, false},
    {"inquiry=fail passthru=fail", false, false},
    {"procinquiry=fail", true, false},
    {"procinquiry=fail passthru=fail", false, false},
    {"setinquiry=fail", true, false},
    {"evpd=fail", true, false},
};

struct Expected {
  std::string fabric;
  std::string device_info;
  std::string err;
  Names cspecials;
  Names stamped;  // nodeA's adapters whose area ends up set
  Names unstamped;
  int size = 0;  // cases in the matrix
};

std::string Disk(int target, const std::string& serial,
                 const std::string& faults) {
  return "  disk " + std::to_string(target) +
         " SEAGATE ST1 0001 serial=" + serial + " " + faults + "\n";
}

Expected Matrix() {
  Expected e;
  int port = 0;
  // The shared bus of the disk faults: its first disk opens, so the
  // responder scan covers every target.
  const std::string c0 = Adapter(port);
  e.fabric = "bus disks\n  adapter nodeA " + Port(port) +
             " 7\n  adapter nodeB " + Port(port) + " 6 stamp=c0:nodeB\n" +
             Disk(0, "D0", "");
  e.device_info = InfoLine(c0, 0, "SEAGATE", "ST1", "0001", "D0");
  for (const DiskCase& d : kDiskCases) {
    const std::string serial = "D" + std::to_string(d.target);
    e.fabric += Disk(d.target, serial, d.faults);
    if (d.readable)
      e.device_info += InfoLine(c0, d.target, "SEAGATE", "ST1", "0001", serial);
    if (d.reports)
      e.err +=
          "qv_cspec: IO_SCSI failure (5)\n"
          "qv_cspec: unable to obtain serial number for device c" +
          c0 + "t" + std::to_string(d.target) + "d0s0 (Vendor ID <SEAGATE >)\n";
    ++e.size;
  }
  e.cspecials = {"c" + c0, "r" + c0 + "_nodeB"};
  e.stamped = {c0};

  auto bus = [&](const std::string& own, const std::string& far) {
    ++port;
    const std::string a = Adapter(port), serial = "P" + a;
    e.fabric += "bus b" + a + "\n  adapter nodeA " + Port(port) + " 7 " + own +
                "\n  adapter nodeB " + Port(port) + " 6 stamp=c0:nodeB " + far +
                "\n" + Disk(0, serial, "");
    e.device_info += InfoLine(a, 0, "SEAGATE", "ST1", "0001", serial);
    ++e.size;
    return a;
  };
  for (const AdapterCase& c : kOwnCases) {
    const std::string a = bus(c.faults, "");
    if (c.node) e.cspecials.push_back("c" + a);
    (c.stamped ? e.stamped : e.unstamped).push_back(a);
    e.cspecials.push_back("r" + a + "_nodeB");
  }
  for (const AdapterCase& c : kFarCases) {
    const std::string a = bus("", c.faults);
    e.cspecials.push_back("c" + a);
    e.stamped.push_back(a);
    if (c.node) e.cspecials.push_back("r" + a + "_nodeB");
  }
  // This machine's adapter reporting an address on another controller:
  // the bus is left alone altogether.
  ++port;
  const std::string a = Adapter(port);
  e.fabric += "bus mismatch\n  adapter nodeA " + Port(port) +
              " 7 initiator=0.7.3.7\n  adapter nodeB " + Port(port) +
              " 6 stamp=c0:nodeB\n" + Disk(0, "M", "");
  e.err +=
      "qv_cspec: Warning: Initiator mismatch: tdev=c" + a + "t0, idev=c73t7\n";
  e.unstamped.push_back(a);
  ++e.size;
  std::sort(e.cspecials.begin(), e.cspecials.end());
  return e;
}

class RobustFaultsTest : public testing::Test {
 protected:
  e2e::ScopedTempDir tmp_;
  e2e::Cluster cluster_{tmp_.path() + "/cluster"};
};

TEST_F(RobustFaultsTest, EveryFaultLeavesExactlyWhatCouldBeRead) {
  const Expected e = Matrix();
  e2e::RunResult r = cluster_.Create(e.fabric);
  ASSERT_EQ(r.status, 0) << r.err;
  printf("fault matrix: %d cases\n", e.size);

  // The first run stamps and makes the nodes; the second finds them made.
  for (const std::string run : {"first", "second"}) {
    r = cluster_.Cspec("nodeA", {"-i", "-r"});
    EXPECT_EQ(r.status, 0) << run;
    EXPECT_EQ(r.out, "") << run;
    EXPECT_EQ(r.err, e.err) << run;
    EXPECT_TRUE(e2e::SameLines(cluster_.DeviceInfo("nodeA"), e.device_info))
        << run;
    EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")), e.cspecials) << run;
    EXPECT_EQ(e2e::ListDir(cluster_.Hostadp("nodeA")),
              (Names{"cspecials", "device_info"}))
        << run;
  }
  r = cluster_.Show();
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string& a : e.stamped)
    EXPECT_NE(r.out.find("adapter nodeA c" + a + ": set to c" + a + ":nodeA"),
              std::string::npos)
        << a << "\n"
        << r.out;
  for (const std::string& a : e.unstamped)
    EXPECT_NE(r.out.find("adapter nodeA c" + a + ": uninitialized"),
              std::string::npos)
        << a << "\n"
        << r.out;

  // Report and debug runs meet the same faults and end as well.
  for (const Names& args : {Names{}, Names{"-d", "-i", "-r"}, Names{"-c"}}) {
    r = cluster_.Cspec("nodeA", args);
    EXPECT_EQ(r.status, 0) << args.size() << "\n" << r.err;
  }
  EXPECT_TRUE(e2e::SameLines(cluster_.DeviceInfo("nodeA"), e.device_info));
}

}  // namespace
