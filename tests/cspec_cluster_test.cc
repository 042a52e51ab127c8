// qv_cspec on simulated clusters: machines sharing SCSI buses, stamping
// their adapters and reading each other's, disks identified into
// device_info, and the probe under every fault the fabric can inject.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

using e2e::CountPrefix;
using e2e::Dev;
using e2e::kCspecials;
using e2e::kDeviceInfo;
using e2e::MakeNode;
using e2e::NodeDev;
using Names = std::vector<std::string>;

constexpr unsigned kMajor = 35;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CspecClusterTest : public testing::Test {
 protected:
  // A fresh cluster of the machines of the fabric.
  void MakeCluster(const std::string& fabric) {
    std::filesystem::remove_all(cluster_.dir());
    e2e::RunResult r = cluster_.Create(fabric);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  std::string root(const std::string& m) const { return cluster_.Root(m); }
  std::string cspecials(const std::string& m) const {
    return cluster_.Cspecials(m);
  }
  std::string node(const std::string& m, const std::string& name) const {
    return cspecials(m) + "/" + name;
  }
  std::string device_info(const std::string& m) const {
    return cluster_.DeviceInfo(m);
  }
  static std::string shown(const std::string& name) {
    return std::string(kCspecials) + "/" + name;
  }
  e2e::RunResult run(const std::string& m, const Names& args = {}) {
    e2e::RunResult r = cluster_.Cspec(m, args);
    EXPECT_EQ(r.status, 0) << m << "\n" << r.err;
    return r;
  }

  e2e::ScopedTempDir tmp_;
  e2e::Cluster cluster_{tmp_.path() + "/cluster"};
};

// nodeA's port 0/1/0 and nodeB's port 0/0/0 share one bus with a disk.
constexpr char kTwoMachines[] =
    "bus shared\n"
    "  adapter nodeA 0 1 0 7\n"
    "  adapter nodeB 0 0 0 6\n"
    "  disk 3 SEAGATE ST32550N 0021 serial=SEA1234\n";

TEST_F(CspecClusterTest, TwoMachinesStampAndNameEachOther) {
  MakeCluster(kTwoMachines);
  // Unstamped: the initiator reports and fails, so no responder is looked
  // at without -r.
  e2e::RunResult r = run("nodeA");
  EXPECT_EQ(r.out, "Initiator " + shown("c10") + ": uninitialized\n");
  EXPECT_EQ(r.err, "");

  r = run("nodeA", {"-i"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(e2e::ListDir(cspecials("nodeA")), Names{"c10"});
  EXPECT_EQ(NodeDev(node("nodeA", "c10")), Dev(kMajor, 0, 1, 0, 7));

  r = run("nodeA");
  EXPECT_EQ(r.out, "Initiator " + shown("c10") + ": set to c10:nodeA\n");
  EXPECT_EQ(r.err, "Responder " + shown("r10") + ": uninitialized\n");

  r = run("nodeB", {"-i"});
  EXPECT_EQ(e2e::ListDir(cspecials("nodeB")), Names{"c0"});
  r = run("nodeA");
  EXPECT_EQ(r.out, "Initiator " + shown("c10") +
                       ": set to c10:nodeA\nResponder " + shown("r10_nodeB") +
                       ": set to c0:nodeB\n");
  EXPECT_EQ(r.err, "");
  r = run("nodeB");
  EXPECT_EQ(r.out, "Initiator " + shown("c0") +
                       ": set to c0:nodeB\nResponder " + shown("r0_nodeA") +
                       ": set to c10:nodeA\n");

  r = run("nodeA", {"-r"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(e2e::ListDir(cspecials("nodeA")), (Names{"c10", "r10_nodeB"}));
  EXPECT_EQ(NodeDev(node("nodeA", "r10_nodeB")), Dev(kMajor, 0, 1, 0, 6));
  EXPECT_EQ(device_info("nodeA"),
            "c10\001c10t3d0s0\001SEAGATE \001ST32550N        \0010021\001"
            "SEA1234\n");

  std::filesystem::remove_all(cspecials("nodeB"));
  r = run("nodeB", {"-i", "-r"});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(e2e::ListDir(cspecials("nodeB")), (Names{"c0", "r0_nodeA"}));
  EXPECT_EQ(device_info("nodeB"),
            "c0\001c0t3d0s0\001SEAGATE \001ST32550N        \0010021\001"
            "SEA1234\n");
}

TEST_F(CspecClusterTest, ExistingNodesAreRenamedToTheNamesAskedFor) {
  MakeCluster(kTwoMachines);
  MakeNode(node("nodeA", "c10.old"), Dev(kMajor, 0, 1, 0, 7));
  e2e::RunResult r = run("nodeA", {"-d", "-i", "-r"});
  EXPECT_TRUE(Contains(r.err, "qv_cspec: Warning: Renaming " +
                                  shown("c10.old") + " to " + shown("c10") +
                                  "\n"))
      << r.err;
  EXPECT_FALSE(Contains(r.err, "mk init nod"));  // renamed, not made again
  EXPECT_TRUE(Contains(r.err, "mk resp nod(r10t6d0s0)\n"));
  EXPECT_EQ(e2e::ListDir(cspecials("nodeA")), (Names{"c10", "r10"}));

  // Once nodeB names itself, its responder node follows; with -c it goes
  // back to the short name.
  run("nodeB", {"-i"});
  r = run("nodeA", {"-r"});
  EXPECT_EQ(r.err, "qv_cspec: Warning: Renaming " + shown("r10") + " to " +
                       shown("r10_nodeB") + "\n");
  EXPECT_EQ(e2e::ListDir(cspecials("nodeA")), (Names{"c10", "r10_nodeB"}));
  r = run("nodeA", {"-c", "-r"});
  EXPECT_EQ(r.err, "qv_cspec: Warning: Renaming " + shown("r10_nodeB") +
                       " to " + shown("r10") + "\n");
  EXPECT_EQ(NodeDev(node("nodeA", "r10")), Dev(kMajor, 0, 1, 0, 6));
}

constexpr char kThreeStamped[] =
    "bus shared\n"
    "  adapter nodeA 0 0 0 7 stamp=c0:nodeA\n"
    "  adapter nodeB 0 0 0 6 stamp=c0:nodeB\n"
    "  adapter nodeC 0 0 0 5 stamp=c3:nodeC\n";

TEST_F(CspecClusterTest, DashCNamesEveryResponderOfABusAlike) {
  MakeCluster(kThreeStamped);
  e2e::RunResult r = run("nodeA");
  EXPECT_EQ(r.out, "Initiator " + shown("c0") + ": set to c0:nodeA\n" +
                       "Responder " + shown("r0_nodeC") +
                       ": set to c3:nodeC\n" + "Responder " +
                       shown("r0_nodeB") + ": set to c0:nodeB\n");
  r = run("nodeA", {"-c"});
  EXPECT_EQ(r.out, "Initiator " + shown("c0") + ": set to c0:nodeA\n" +
                       "Responder " + shown("r0") + ": set to c3:nodeC\n" +
                       "Responder " + shown("r0") + ": set to c0:nodeB\n");
  // Both entries want r0: the newer one (target 6) is made first and the
  // other's creation fails, reported only with -d.  fakeroot's mknod
  // replaces an existing file instead of failing, so there the older entry
  // wins and no failure shows.
  const bool faked = getenv("FAKEROOTKEY") != nullptr;
  r = run("nodeA", {"-c", "-r"});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(e2e::ListDir(cspecials("nodeA")), Names{"r0"});
  EXPECT_EQ(NodeDev(node("nodeA", "r0")), Dev(kMajor, 0, 0, 0, faked ? 5 : 6));
  std::filesystem::remove(node("nodeA", "r0"));
  r = run("nodeA", {"-d", "-c", "-r"});
  EXPECT_TRUE(Contains(r.err, faked ? "mk resp nod(r0t5d0s0)\n"
                                    : "mk resp nod(r0t5d0s0)\n"
                                      "mknod responder: File exists\n"))
      << r.err;
}

TEST_F(CspecClusterTest, ExclusionListMatchesWholeEntries) {
  MakeCluster(kThreeStamped);
  const std::string xlist = root("nodeA") + "/usr/ruded/config/excludelist";
  e2e::WriteFile(xlist, "# keep nodeB's port out\n  c0 t6\n");
  e2e::RunResult r = run("nodeA", {"-r"});
  EXPECT_EQ(e2e::ListDir(cspecials("nodeA")), Names{"r0_nodeC"});

  e2e::WriteFile(xlist, "c0t66\nc0\nc0t6#\n");
  r = run("nodeA", {"-r"});
  EXPECT_EQ(e2e::ListDir(cspecials("nodeA")), (Names{"r0_nodeB", "r0_nodeC"}));
  // The initiator's own target is never a responder, listed or not.
  EXPECT_FALSE(Contains(r.out + r.err, "nodeA"));
}

// Tries of the probe per SCSI bus, counted from the -d lines.
constexpr char kShortcuts[] =
    "bus b00\n  adapter nodeA 0 0 0 7\n  disk 1 SEAGATE S 1 serial=1\n"
    "bus b01\n  adapter nodeA 0 0 1 7\n  disk 5 SEAGATE S 1 open=ENXIO\n"
    "bus b02\n  adapter nodeA 0 0 2 7\n"
    "bus b10\n  adapter nodeA 0 1 0 7\n  disk 0 SEAGATE S 1\n"
    "bus b11\n  adapter nodeA 0 1 1 7\n  disk 2 SEAGATE S 1\n"
    "bus b13\n  adapter nodeA 0 1 3 7\n  disk 0 SEAGATE S 1\n"
    "bus b20\n  adapter nodeA 0 2 0 7\n  disk 0 SEAGATE S 1 open=ENXIO\n"
    "bus b21\n  adapter nodeA 0 2 1 7\n  disk 0 SEAGATE S 1\n";

TEST_F(CspecClusterTest, EnxioShortensTheSearch) {
  MakeCluster(kShortcuts);
  e2e::RunResult r = run("nodeA", {"-d", "-r"});
  const struct {
    const char* adapter;
    int tries;
  } counts[] = {
      {"0", 2},  // T = 1
      {"1", 6},  // ENXIO at target 5: on to SCSI bus 2
      {"2", 8},  // its own port at 7 is the first to open
      {"3", 1},  // absent
      {"10", 1},
      {"11", 3},
      {"12", 1},  // absent at target 0: SCSI bus 3 is
                  // never tried
      {"13", 0},
      {"20", 1},  // ENXIO at target 0 ends the controller
      {"21", 0},
      {"30", 1},
      {"100", 1},
      {"770", 1},
  };
  for (const auto& c : counts) {
    EXPECT_EQ(CountPrefix(r.err, std::string("mk tmp nod(c") + c.adapter + "t"),
              c.tries)
        << c.adapter;
  }
  // 17 + 5 + 1 on the first three controllers, one for each of the 61
  // others.
  EXPECT_EQ(CountPrefix(r.err, "mk tmp nod("), 84);
  EXPECT_EQ(CountPrefix(r.err, "setup_initiator("), 4);
  EXPECT_TRUE(Contains(r.err, "Open tmp node: c1t5d0s0, Errno=6\n"));
  EXPECT_TRUE(Contains(r.err, "Open tmp node: c1t4d0s0, Errno=19\n"));
  EXPECT_EQ(e2e::ListDir(cspecials("nodeA")), Names{});
  EXPECT_EQ(device_info("nodeA"),
            "c0\001c0t1d0s0\001SEAGATE \001S               \0011   \0011\n"
            "c10\001c10t0d0s0\001SEAGATE \001S               \0011   \001\n"
            "c11\001c11t2d0s0\001SEAGATE \001S               \0011   \001\n");
}

TEST_F(CspecClusterTest, ResponderScanStartsAtTheFirstTargetThatOpens) {
  MakeCluster(
      "bus shared\n"
      "  adapter nodeA 0 0 0 7\n"
      "  disk 0 SEAGATE S 1 open=EIO\n"
      "  adapter nodeB 0 0 0 1 open=EBUSY\n"
      "  disk 2 SEAGATE S 1 open=EIO\n"
      "  disk 3 SEAGATE S 1 serial=three\n");
  e2e::RunResult r = run("nodeA", {"-d", "-r"});
  EXPECT_TRUE(Contains(r.err, "Open tmp node: c0t0d0s0, Errno=5\n"));
  EXPECT_TRUE(Contains(r.err, "Open tmp node: c0t1d0s0, Errno=16\n"));
  EXPECT_TRUE(Contains(r.err, "Open tmp node: c0t2d0s0, Errno=5\n"));
  for (const char* t : {"t0", "t1", "t2", "t7"}) {
    EXPECT_FALSE(Contains(r.err, std::string("Responder Node: c0") + t + "d"))
        << t;
  }
  EXPECT_TRUE(Contains(r.err, "Open Responder Node: c0t4d0s0, Errno=19\n"));
  EXPECT_EQ(device_info("nodeA"),
            "c0\001c0t3d0s0\001SEAGATE \001S               \0011   \001"
            "three\n");
}

TEST_F(CspecClusterTest, InquiriesFallBackInTheirOwnOrder) {
  const std::string c0 = shown("c0");
  const struct {
    const char* faults_a;            // on nodeA's own port
    const char* faults_b;            // on nodeB's port, seen as a responder
    bool answers;                    // the initiator setup succeeds
    std::vector<std::string> debug;  // in -d output
    std::vector<std::string> never;
  } cases[] = {
      // An initiator that does not open keeps a report run off its bus.
      {"open=EIO",
       "",
       false,
       {"Open Initiator Node: " + c0 + ", Errno=5\n"},
       {"Responder Node"}},
      {"passthru=fail", "", true, {}, {"trying IO_SCSI()"}},
      {"inquiry=fail", "", true, {}, {"trying IO_SCSI()"}},
      {"passthru=fail inquiry=fail",
       "",
       false,
       {"setup_initiator,IO_Inquiry(" + c0 + ")"},
       {}},
      {"procinquiry=fail",
       "",
       true,
       {"my_IO_GetProcessorInquiry: IO_GetProcessorInquiry: 5, trying "
        "IO_SCSI()\nIO_SCSI() returned 0, errno="},
       {}},
      {"procinquiry=fail passthru=fail",
       "",
       false,
       {"my_IO_GetProcessorInquiry: IO_GetProcessorInquiry: 5, trying "
        "IO_SCSI()\nIO_SCSI() returned -1, errno=5\n"
        "setup_initiator, IO_GetProcessorInquiry(" +
        c0 + "): 5\n"},
       {}},
      {"",
       "inquiry=fail passthru=fail",
       true,
       {"IO_Inquiry failure to c0t6d0s0, Errno=5\n"},
       {}},
      {"",
       "procinquiry=fail passthru=fail",
       true,
       {"IO_GetProcessorInquiry failure to c0t6d0s0: Errno=5\n"},
       {}},
      {"", "procinquiry=fail", true, {}, {"failure to c0t6"}},
  };
  for (const auto& c : cases) {
    const std::string tag = std::string(c.faults_a) + "|" + c.faults_b;
    MakeCluster(std::string("bus shared\n") +
                    "  adapter nodeA 0 0 0 7 stamp=c0:nodeA " + c.faults_a +
                    "\n  adapter nodeB 0 0 0 6 stamp=c0:nodeB " + c.faults_b +
                    "\n");
    e2e::RunResult r = run("nodeA");
    bool responder_answers = !Contains(c.faults_b, "passthru");
    std::string expected;
    if (c.answers) expected = "Initiator " + c0 + ": set to c0:nodeA\n";
    if (c.answers && responder_answers)
      expected += "Responder " + shown("r0_nodeB") + ": set to c0:nodeB\n";
    EXPECT_EQ(r.out, expected) << tag;
    EXPECT_EQ(r.err, "") << tag;
    r = run("nodeA", {"-d"});
    for (const std::string& d : c.debug)
      EXPECT_TRUE(Contains(r.err, d)) << tag << "\n" << d << "\n" << r.err;
    for (const std::string& d : c.never)
      EXPECT_FALSE(Contains(r.err, d)) << tag << "\n" << d;
  }
}

TEST_F(CspecClusterTest, FailedStampStillAsksForTheInitiatorNode) {
  MakeCluster(
      "bus shared\n"
      "  adapter nodeA 0 0 0 7 setinquiry=fail\n"
      "  adapter nodeB 0 0 0 6 stamp=c0:nodeB\n");
  MakeNode(node("nodeA", "r0_nodeB"), Dev(kMajor, 0, 0, 0, 6));
  e2e::RunResult r = run("nodeA", {"-d", "-i"});
  EXPECT_TRUE(Contains(r.err,
                       "Setting Vendor Specific Information\n"
                       "setup_initiator, IO_SetInitiatorInquiry(" +
                           shown("c0") + "): 5\n"))
      << r.err;
  // The failed setup keeps the responders out of a run without -r.
  EXPECT_TRUE(Contains(
      r.err, "qv_cspec: Warning: Removing device " + shown("r0_nodeB") + "\n"));
  EXPECT_EQ(e2e::ListDir(cspecials("nodeA")), Names{"c0"});
  r = run("nodeA");
  EXPECT_EQ(r.out, "Initiator " + shown("c0") + ": uninitialized\n");

  // With -r they are looked for all the same.
  r = run("nodeA", {"-i", "-r"});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(e2e::ListDir(cspecials("nodeA")), (Names{"c0", "r0_nodeB"}));
}

TEST_F(CspecClusterTest, StampedAreasAreNeverRewrittenAndNamesAreCut) {
  MakeCluster(
      "bus shared\n"
      "  adapter nodeA 0 0 0 7 stamp=c20:someone\n"
      "  adapter a-very-long-machine-name 0 0 0 6\n");
  e2e::RunResult r = run("nodeA", {"-d", "-i"});
  EXPECT_FALSE(Contains(r.err, "Setting Vendor Specific Information"));
  r = run("nodeA");
  EXPECT_EQ(r.out, "Initiator " + shown("c0") + ": set to c20:someone\n");
  EXPECT_EQ(r.err, "Responder " + shown("r0") + ": uninitialized\n");

  run("a-very-long-machine-name", {"-i"});
  r = run("nodeA");
  EXPECT_EQ(r.out, "Initiator " + shown("c0") + ": set to c20:someone\n" +
                       "Responder " + shown("r0_a-very-long-machi") +
                       ": set to c0:a-very-long-machi\n");
}

TEST_F(CspecClusterTest, DeviceInfoHoldsOneLinePerDiskBySerialReader) {
  MakeCluster(
      "bus shared\n"
      "  adapter nodeA 0 0 0 7\n"
      "  disk 0 SYMBIOS RAID5 0100 serial=SYM0123456789\n"
      "  disk 1 EMC SYMMETRIX 5266 serial=EMC0123456789\n"
      "  disk 2 HP C3010M1 HP05 serial=HP0123456789\n"
      "  disk 3 MYLEX DAC960 0001 serial=MYL0001\n"
      "  disk 4 SEAGATE ST15150N 0022 "
      "serial=0123456789012345678901234567890123\n"
      "  disk 5 IBM DORS-32160 WA0A serial=IBM1 evpd=fail\n"
      "  device 6 1 ARCHIVE Python 0100\n"
      "  disk 8 EMCX X 1 serial=EMCX0123456789\n"
      "  disk 9 HPQ X 1 serial=SHORT\n");
  e2e::RunResult r = run("nodeA", {"-r"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "qv_cspec: IO_SCSI failure (5)\n"
            "qv_cspec: unable to obtain serial number for device c0t5d0s0 "
            "(Vendor ID <IBM     >)\n");
  EXPECT_EQ(device_info("nodeA"),
            "c0\001c0t0d0s0\001SYMBIOS \001RAID5           \0010100\001"
            "SYM0123456\n"
            "c0\001c0t1d0s0\001EMC     \001SYMMETRIX       \0015266\001"
            "EMC012345\n"
            "c0\001c0t2d0s0\001HP      \001C3010M1         \001HP05\001"
            "HP01234567\n"
            "c0\001c0t4d0s0\001SEAGATE \001ST15150N        \0010022\001"
            "0123456789012345678901234567\n"
            "c0\001c0t8d0s0\001EMCX    \001X               \0011   \001"
            "EMCX0123456789\n"
            "c0\001c0t9d0s0\001HPQ     \001X               \0011   \001"
            "SHORT\n");

  r = run("nodeA", {"-d", "-r"});
  EXPECT_TRUE(Contains(r.err, "Skipping device info for MYLEX device\n"));
  EXPECT_TRUE(Contains(r.err,
                       "Obtaining device info (EMC):\n"
                       "c0:c0t1d0s0:EMC     :SYMMETRIX       :5266:"
                       "EMC012345\n"));
  EXPECT_TRUE(Contains(r.err, "Obtaining device info (HP):\n"));
  EXPECT_TRUE(Contains(r.err, "Obtaining device info (SYMBIOS):\n"));
  EXPECT_EQ(CountPrefix(r.err, "Obtaining device info (default):"), 4);

  // Without -r disks are not identified at all.
  e2e::WriteFile(root("nodeA") + kDeviceInfo, "kept\n");
  r = run("nodeA", {"-i"});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(device_info("nodeA"), "kept\n");
}

}  // namespace
