// Every fault the simulated hardware can inject, in one fabric: a disk
// with each fault on one shared bus, and one bus of its own for each fault
// on this machine's adapter and on the far machine's adapter.  qv_cspec
// must end with status 0 whatever fails, list in device_info exactly the
// disks that could be read, make exactly the nodes whose setup succeeded,
// report what it could ask and say with -d which fallback it took.  Then
// how open failures cut the probe's search short, and hostile files: a
// fabric that turns bad under a running cluster, a far machine whose node
// name is no file name, a machine root that root may not trust.  Run under
// the sanitizer preset, nothing may be read or written past a buffer.

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

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

// What a report run says of a bus: nothing, an unstamped initiator, the
// initiator only, or the initiator and nodeB's responder.
enum Said { kNothing, kUnstamped, kInitiator, kBoth };

// Faults of an adapter on a bus of its own: nodeA's own port (initiator
// side) or nodeB's port (responder side), each bus also holding a healthy
// disk at target 0 and the other machine's healthy adapter.  In debug, @
// stands for the adapter and $ for the cspecials directory.
struct AdapterCase {
  const char* faults;
  bool node;     // its node is asked for (and made)
  bool stamped;  // this machine's area is set (own port only)
  Said said;
  std::string debug;  // in -d output
};

constexpr char kTries[] =
    "setup_initiator(c@t7d0s0)\nmy_IO_GetProcessorInquiry: "
    "IO_GetProcessorInquiry: 5, trying IO_SCSI()\nIO_SCSI() returned ";

const AdapterCase kOwnCases[] = {
    {"", true, true, kBoth, ""},
    {"open=EIO", false, false, kNothing,
     "setup_initiator(c@t7d0s0)\nOpen Initiator Node: $c@, Errno=5\n"},
    {"open=ENODEV", false, false, kNothing,
     "Open Initiator Node: $c@, Errno=19"},
    {"open=ENXIO", false, false, kNothing,
     "Open Initiator Node: $c@, Errno=6\n"},
    {"inquiry=fail", true, true, kBoth, ""},
    {"passthru=fail", true, true, kBoth, ""},
    {"inquiry=fail passthru=fail", false, false, kNothing,
     "setup_initiator,IO_Inquiry($c@)"},
    {"procinquiry=fail", true, true, kBoth, std::string(kTries) + "0, errno="},
    {"procinquiry=fail passthru=fail", false, false, kNothing,
     std::string(kTries) + "-1, errno=5\n"
                           "setup_initiator, IO_GetProcessorInquiry($c@): 5\n"},
    // The node is asked for before the area is written.
    {"setinquiry=fail", true, false, kUnstamped,
     "Setting Vendor Specific Information\n"
     "setup_initiator, IO_SetInitiatorInquiry($c@): 5\n"},
    {"evpd=fail", true, true, kBoth, ""},
};

const AdapterCase kFarCases[] = {
    {"open=EIO", false, false, kInitiator, ""},
    {"open=ENODEV", false, false, kInitiator, ""},
    {"inquiry=fail", true, false, kBoth, ""},
    {"passthru=fail", true, false, kBoth, ""},
    {"inquiry=fail passthru=fail", false, false, kInitiator,
     "IO_Inquiry failure to c@t6d0s0, Errno=5\n"},
    {"procinquiry=fail", true, false, kBoth, ""},
    {"procinquiry=fail passthru=fail", false, false, kInitiator,
     "IO_GetProcessorInquiry failure to c@t6d0s0: Errno=5\n"},
    {"setinquiry=fail", true, false, kBoth, ""},
    {"evpd=fail", true, false, kBoth, ""},
};

struct Expected {
  std::string fabric, device_info, err, report;
  Names cspecials, areas, debug;  // areas: nodeA's, as simcluster shows
  Names unasked;                  // responder nodes a run without -r removes
};

std::string Disk(int target, const std::string& serial,
                 const std::string& faults) {
  return "  disk " + std::to_string(target) +
         " SEAGATE ST1 0001 serial=" + serial + " " + faults + "\n";
}

// text with @ replaced by the adapter and $ by the cspecials directory.
std::string Fill(std::string text, const std::string& a) {
  for (size_t at; (at = text.find('@')) != text.npos;) text.replace(at, 1, a);
  return e2e::Shown(text);
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
  }
  e.cspecials = {"c" + c0, "r" + c0 + "_nodeB"};
  e.areas = {Fill("adapter nodeA c@: set to c@:nodeA", c0)};
  e.report = Fill("Initiator $c@: set to c@:nodeA\n", c0) +
             Fill("Responder $r@_nodeB: set to c0:nodeB\n", c0);

  auto bus = [&](const AdapterCase& c, bool own) {
    ++port;
    const std::string a = Adapter(port), serial = "P" + a;
    e.fabric += "bus b" + a + "\n  adapter nodeA " + Port(port) + " 7 " +
                (own ? c.faults : "") + "\n  adapter nodeB " + Port(port) +
                " 6 stamp=c0:nodeB " + (own ? "" : c.faults) + "\n" +
                Disk(0, serial, "");
    e.device_info += InfoLine(a, 0, "SEAGATE", "ST1", "0001", serial);
    if (c.node || !own) e.cspecials.push_back("c" + a);
    if (c.node || own) e.cspecials.push_back("r" + a + "_nodeB");
    e.areas.push_back(Fill(c.stamped || !own
                               ? "adapter nodeA c@: set to c@:nodeA"
                               : "adapter nodeA c@: uninitialized",
                           a));
    if (own && c.said != kBoth) e.unasked.push_back("r" + a + "_nodeB");
    if (!c.debug.empty()) e.debug.push_back(Fill(c.debug, a));
    if (c.said == kUnstamped)
      e.report += Fill("Initiator $c@: uninitialized\n", a);
    if (c.said >= kInitiator)
      e.report += Fill("Initiator $c@: set to c@:nodeA\n", a);
    if (c.said == kBoth)
      e.report += Fill("Responder $r@_nodeB: set to c0:nodeB\n", a);
  };
  for (const AdapterCase& c : kOwnCases) bus(c, true);
  for (const AdapterCase& c : kFarCases) bus(c, false);
  // This machine's adapter reporting an address on another controller:
  // the bus is left alone altogether.
  ++port;
  const std::string a = Adapter(port);
  e.fabric += "bus mismatch\n  adapter nodeA " + Port(port) +
              " 7 initiator=0.7.3.7\n  adapter nodeB " + Port(port) +
              " 6 stamp=c0:nodeB\n" + Disk(0, "M", "");
  e.err +=
      "qv_cspec: Warning: Initiator mismatch: tdev=c" + a + "t0, idev=c73t7\n";
  e.areas.push_back(Fill("adapter nodeA c@: uninitialized", a));
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
  // The first run stamps and makes the nodes; the second finds them made.
  for (const std::string run : {"first", "second"}) {
    r = cluster_.Cspec("nodeA", {"-i", "-r"});
    EXPECT_EQ(r.status, 0) << run;
    EXPECT_EQ(r.out, "") << run;
    EXPECT_EQ(r.err, e.err) << run;
    EXPECT_EQ(cluster_.DeviceInfo("nodeA"), e.device_info) << run;
    EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")), e.cspecials) << run;
    EXPECT_EQ(e2e::ListDir(cluster_.Hostadp("nodeA")),
              (Names{"cspecials", "device_info"}))
        << run;
  }
  r = cluster_.Show();
  for (const std::string& area : e.areas)
    EXPECT_NE(r.out.find(area), r.out.npos) << area;
  // A report says what it could ask, with -c every responder by its bus.
  const std::string mismatch = e.err.substr(e.err.rfind("qv_cspec: W"));
  r = cluster_.Cspec("nodeA", {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, e.report);
  EXPECT_EQ(r.err, mismatch);
  std::string short_names = e.report;
  for (size_t at; (at = short_names.find("_nodeB:")) != short_names.npos;)
    short_names.erase(at, 6);
  EXPECT_EQ(cluster_.Cspec("nodeA", {"-c"}).out, short_names);
  // Debug says which fallback each fault took.
  r = cluster_.Cspec("nodeA", {"-d", "-i", "-r"});
  EXPECT_EQ(r.status, 0);
  for (const std::string& d : e.debug)
    EXPECT_NE(r.err.find(d), r.err.npos) << d;
  EXPECT_EQ(e2e::Lines(r.err, "my_IO_GetProcessorInquiry:").size(), 4u);
  EXPECT_EQ(e2e::Lines(r.err, "IO_Inquiry failure to").size(), 2u);
  EXPECT_EQ(e2e::Lines(r.err, "IO_GetProcessorInquiry failure to").size(), 1u);
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"), e.device_info);
  // Without -r the responders of a bus whose initiator failed go.
  r = cluster_.Cspec("nodeA", {"-i"});
  std::string removed;
  Names left = e.cspecials;
  for (const std::string& n : e.unasked) {
    removed += "qv_cspec: Warning: Removing device " + Fill("$", "") + n + "\n";
    left.erase(std::find(left.begin(), left.end(), n));
  }
  Names lines = e2e::Lines(r.err), want = e2e::Lines(mismatch + removed);
  std::sort(lines.begin(), lines.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(lines, want);
  EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")), left);
}

// Tries of the probe per SCSI bus, counted from the -d lines: ENXIO ends a
// SCSI bus, or at target 0 the controller; ENODEV goes on.
TEST_F(RobustFaultsTest, OpenFailuresShortenTheSearch) {
  e2e::RunResult r = cluster_.Create(
      "bus b00\n  adapter nodeA 0 0 0 7\n  disk 1 SEAGATE S 1 serial=1\n"
      "bus b01\n  adapter nodeA 0 0 1 7\n  disk 5 SEAGATE S 1 open=ENXIO\n"
      "bus b02\n  adapter nodeA 0 0 2 7\n"
      "bus b10\n  adapter nodeA 0 1 0 7\n  disk 0 SEAGATE S 1\n"
      "bus b11\n  adapter nodeA 0 1 1 7\n  disk 2 SEAGATE S 1\n"
      "bus b13\n  adapter nodeA 0 1 3 7\n  disk 0 SEAGATE S 1\n"
      "bus b20\n  adapter nodeA 0 2 0 7\n  disk 0 SEAGATE S 1 open=ENXIO\n"
      "bus b21\n  adapter nodeA 0 2 1 7\n  disk 0 SEAGATE S 1\n"
      "bus b30\n  adapter nodeA 0 3 0 7\n"
      "  disk 0 SEAGATE S 1 open=EIO\n  adapter nodeB 0 0 0 1 open=EBUSY\n"
      "  disk 2 SEAGATE S 1 open=EIO\n  disk 3 SEAGATE S 1 serial=three\n");
  ASSERT_EQ(r.status, 0) << r.err;
  r = cluster_.Cspec("nodeA", {"-d", "-r"});
  EXPECT_EQ(r.status, 0);
  // c0: T = 1.  c1: ENXIO at target 5, on to SCSI bus 2.  c2: its own port
  // at 7 is the first to open.  c3, c12: absent at target 0, which ends
  // the controller (c13, c21 never tried), as ENXIO at target 0 does (c20).
  // c10, c11: disks at 0 and 2.  c30: EIO, EBUSY and EIO before target 3.
  std::string tries;
  for (std::string a : {"0", "1", "2", "3", "10", "11", "12", "13", "20", "21",
                        "30", "31", "100", "770"})
    tries +=
        a + ":" +
        std::to_string(e2e::Lines(r.err, "mk tmp nod(c" + a + "t").size()) +
        " ";
  EXPECT_EQ(tries,
            "0:2 1:6 2:8 3:1 10:1 11:3 12:1 13:0 20:1 21:0 30:4 31:1 100:1 "
            "770:1 ");
  EXPECT_EQ(e2e::Lines(r.err, "mk tmp nod(").size(), 88u);
  EXPECT_EQ(e2e::Lines(r.err, "setup_initiator(").size(), 5u);
  // The responder scan starts at the first target that opens.
  for (const char* said : {"Open tmp node: c1t5d0s0, Errno=6\n",
                           "Open tmp node: c1t4d0s0, Errno=19\n",
                           "Open tmp node: c30t0d0s0, Errno=5\n",
                           "Open tmp node: c30t1d0s0, Errno=16\n",
                           "Open tmp node: c30t2d0s0, Errno=5\n",
                           "Open Responder Node: c30t4d0s0, Errno=19\n"})
    EXPECT_NE(r.err.find(said), r.err.npos) << said;
  for (const char* t : {"t0", "t1", "t2", "t7"})
    EXPECT_EQ(r.err.find(std::string("Responder Node: c30") + t + "d"),
              r.err.npos);
  EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")), Names{});
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"),
            InfoLine("0", 1, "SEAGATE", "S", "1", "1") +
                InfoLine("10", 0, "SEAGATE", "S", "1", "") +
                InfoLine("11", 2, "SEAGATE", "S", "1", "") +
                InfoLine("30", 3, "SEAGATE", "S", "1", "three"));
}

// One shared bus: nodeA at 7, nodeB (stamped) at 6, disks at 3 and 5.
constexpr char kHostileFabric[] =
    "bus shared\n"
    "  adapter nodeA 0 0 0 7 stamp=c0:nodeA\n"
    "  adapter nodeB 0 0 0 6 stamp=\"c0:@\"\n"
    "  disk 3 SEAGATE ST1 0001 serial=three\n"
    "  disk 5 SEAGATE ST1 0001 serial=five\n";

// A fabric gone bad under a running cluster: the machine says so once and
// finds no hardware; the run still ends well.  (The parser's own cases
// are rows of its unit table.)
TEST_F(RobustFaultsTest, FabricGoneBadLeavesTheMachineWithoutHardware) {
  ASSERT_EQ(cluster_.Create(Fill(kHostileFabric, "nodeB")).status, 0);
  e2e::WriteFile(cluster_.dir() + "/fabric",
                 std::string("bus b\n  adapter nodeA 0 0 0 7\0\n", 31));
  e2e::RunResult r = cluster_.Cspec("nodeA", {"-i", "-r"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, cluster_.Root("nodeA") + "/../fabric:2: NUL byte in line\n");
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"), "");
  EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")), Names{});
}

// A far machine whose node name is no file name: shown escaped, not used.
TEST_F(RobustFaultsTest, FarNodeNameThatIsNoFileNameIsNotUsed) {
  ASSERT_EQ(cluster_.Create(Fill(kHostileFabric, "nodeB")).status, 0);
  const struct {
    std::string name;  // nodeB's node name as the fabric writes it
    const char* shown;
    std::string area = "";  // or as its area holds it (magic, owner c0, name)
  } cases[] = {
      {"ev/il", "ev/il"},
      {"..", ".."},
      {".hidden", ".hidden"},
      {"esc\033[2J", "esc\\033[2J"},
      {"back\\slash", "back\\\\slash"},
      {"high\xff", "high\\377"},
      // The fabric cannot write these: the state file can.
      {"nodeB", "new\\012line", "fe00006e65770a6c696e65000000000000000000"},
      {"nodeB", "quo\\\"te", "fe000071756f2274650000000000000000000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    e2e::WriteFile(cluster_.dir() + "/fabric", Fill(kHostileFabric, c.name));
    e2e::WriteFile(cluster_.dir() + "/fabric.state",
                   c.area.empty() ? "" : "nodeB 0.0.0 " + c.area + "\n");
    const std::string warning = std::string("qv_cspec: Warning: Ignoring ") +
                                "node name \"" + c.shown +
                                "\" of responder c0t6: not a plain file name\n";
    e2e::RunResult r = cluster_.Cspec("nodeA", {});
    EXPECT_EQ(r.err, warning);
    EXPECT_EQ(r.out, Fill("Initiator $c0: set to c0:nodeA\n"
                          "Responder $r0: set to c0:@\n",
                          c.shown));
    r = cluster_.Cspec("nodeA", {"-r"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, warning);
    EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")), Names{"r0"});
    unlink((cluster_.Cspecials("nodeA") + "/r0").c_str());
  }
}

// Run by root (or under fakeroot, which fakes the owners too), a machine
// root that another user owns or may write, or that sits in a directory
// others may write, is refused before anything is touched; a device_info
// planted as a symbolic link is not followed.
TEST_F(RobustFaultsTest, MachineRootRootMayNotTrustIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root or fakeroot to own files";
  ASSERT_EQ(cluster_.Create(Fill(kHostileFabric, "nodeB")).status, 0);
  const std::string root = cluster_.Root("nodeA");
  const std::string info = root + e2e::kDeviceInfo;
  const std::string victim = tmp_.path() + "/victim";
  e2e::WriteFile(victim, "victim\n");
  ASSERT_EQ(symlink(victim.c_str(), info.c_str()), 0);
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(root.c_str(), resolved), nullptr);
  const std::string dir = resolved;
  const std::string parent = dir.substr(0, dir.rfind('/'));
  const struct {
    std::string path;
    uid_t owner;
    mode_t mode;
    std::string why;  // "" when the root is used
  } cases[] = {
      {dir, 4321, 0755, dir + " is not owned by root"},
      {dir, 0, 0775, dir + " is writable by group or others"},
      {parent, 0, 0777, parent + " is writable by group or others"},
      {dir, 0, 0755, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    ASSERT_EQ(chown(c.path.c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(chmod(c.path.c_str(), c.mode), 0);
    e2e::RunResult r = cluster_.Cspec("nodeA", {"-i", "-r"});
    ASSERT_EQ(chown(c.path.c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(c.path.c_str(), 0755), 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, c.why.empty() ? 0 : 1);
    EXPECT_EQ(r.err, c.why.empty() ? "qv_cspec: Unable to open SCSI device "
                                     "info file for writing: 40\n"
                                   : "qv_cspec: Error: Unsafe machine root " +
                                         root + ": " + c.why + "\n");
    EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")),
              (c.why.empty() ? Names{"c0", "r0_nodeB"} : Names{}));
    EXPECT_EQ(e2e::ListDir(cluster_.Hostadp("nodeA")),
              (c.why.empty() ? Names{"cspecials", "device_info"}
                             : Names{"device_info"}));
    EXPECT_EQ(e2e::ReadFile(victim), "victim\n");
    struct stat st;
    EXPECT_TRUE(lstat(info.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  }
}

}  // namespace
