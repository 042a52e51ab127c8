// qv_cspec as its users run it, on simulated clusters: the options, the
// cspecials directory and its scan, machines stamping their adapters and
// naming each other's, the probe's search, and disks identified into
// device_info.  Each scenario is a table of runs, each row checked whole.
//
// The faults the simulated hardware can inject, one for each way qv_cspec
// handles them, in one fabric: disks with faults on one shared bus, and a
// bus of its own for each fault of this machine's adapter or of the far
// machine's adapter that takes its own path.  qv_cspec
// must end with status 0 whatever fails, list in device_info exactly the
// disks that could be read, make exactly the nodes whose setup succeeded,
// report what it could ask and say with -d which fallback it took.  Then
// how open failures cut the probe's search short, and hostile files: a
// fabric that turns bad under a running cluster, a far machine whose node
// name is no file name, a machine root that root may not trust.  Run under
// the sanitizer preset, nothing may be read or written past a buffer.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

using e2e::Dev;
using Names = std::vector<std::string>;
namespace fs = std::filesystem;

constexpr unsigned kMajor = 35;  // simcluster's mdevice

// How a run's standard error is compared: whole, as a part, or as its
// lines in any order (where the directory's order decides theirs).
enum Mode { kWhole, kPart, kAnyOrder };

class CspecE2eTest : public testing::Test {
 protected:
  void Make(const std::string& fabric) {
    e2e::RunResult r = cluster_.Create(fabric);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  // nodeA without a fabric: the Linux backend, which finds no host in a
  // machine root without sys/.
  void Bare() {
    Make("bus b\n  adapter nodeA 0 0 0 7\n");
    fs::remove(cluster_.dir() + "/fabric");
  }
  std::string At(const std::string& path) {
    return cluster_.Root("nodeA") + path;
  }
  std::string Node(const std::string& name) {
    return cluster_.Cspecials("nodeA") + "/" + name;
  }
  // Runs qv_cspec as m and checks it all; in out and err, $ stands for the
  // cspecials directory and a slash.
  void Expect(const Names& args, const std::string& out, const std::string& err,
              const Names& nodes, int status = 0,
              const std::string& m = "nodeA", Mode mode = kWhole) {
    SCOPED_TRACE(m + " " + testing::PrintToString(args));
    e2e::RunResult r = cluster_.Cspec(m, args);
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.out, e2e::Shown(out));
    std::string got = r.err, want = e2e::Shown(err);
    if (mode == kPart && got.find(want) != got.npos) got = want;
    if (mode == kAnyOrder) {
      Names g = e2e::Lines(got), w = e2e::Lines(want);
      EXPECT_EQ(std::multiset<std::string>(g.begin(), g.end()),
                std::multiset<std::string>(w.begin(), w.end()));
    } else {
      EXPECT_EQ(got, want);
    }
    EXPECT_EQ(e2e::ListDir(cluster_.Cspecials(m)), nodes);
    EXPECT_EQ(e2e::TmpNodes(cluster_.Hostadp(m)), Names{});
  }

  e2e::ScopedTempDir tmp_;
  e2e::Cluster cluster_{tmp_.path() + "/cluster"};
};

TEST_F(CspecE2eTest, OptionsAndTheCspecialsDirectory) {
  Bare();
  const std::string usage =
      "Usage: " + e2e::Staged("sbin/qv_cspec") + " [-c] [-i|-r]\n";
  // Nothing is done before the options are read.
  for (const char* bad : {"-x", "-dq", "-?"}) Expect({bad}, "", usage, {}, 1);
  EXPECT_FALSE(e2e::Exists(cluster_.Cspecials("nodeA")));
  // Repeated options and words after them are accepted.  Without hardware
  // nothing is found, marked or kept: -r empties device_info.
  e2e::WriteFile(At(e2e::kDeviceInfo), "old line\n");
  Expect({"-r", "-c", "-r", "-c", "extra", "-x"}, "", "", {});
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"), "");
  struct stat st;
  ASSERT_EQ(stat(cluster_.Cspecials("nodeA").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode, S_IFDIR | 0755u);
  // The directory is made only under an existing parent.
  fs::remove_all(At("/usr/ruded/subsys"));
  Expect({"-i", "-r"}, "",
         "qv_cspec: Unable to locate " + std::string(e2e::kCspecials) +
             " directory\n",
         {}, 1);
  EXPECT_FALSE(e2e::Exists(At("/usr/ruded/subsys")));
}

TEST_F(CspecE2eTest, ScanRemovesDuplicatesAlwaysAndUnaskedNodesWithIOrR) {
  Bare();
  const std::string dup = "qv_cspec: Warning: Removing duplicate device $";
  const std::string removing = "qv_cspec: Warning: Removing device $";
  e2e::MakeNode(Node("c10"), Dev(41, 0, 1, 0, 7));
  e2e::MakeNode(Node("other"), Dev(41, 0, 1, 0, 7));
  e2e::RunResult r = cluster_.Cspec("nodeA", {});
  EXPECT_EQ(r.status, 0);
  // The directory decides which entry comes first; the second one goes.
  const bool c10 = r.err.find(e2e::Shown(dup + "other\n")) != r.err.npos;
  EXPECT_EQ(r.err, e2e::Shown(dup + (c10 ? "other" : "c10") + "\n"));
  EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")),
            Names{c10 ? "c10" : "other"});
  fs::remove(Node(c10 ? "c10" : "other"));
  // A report changes nothing; an entry whose status cannot be read is
  // never in the table, so it stays; a regular file counts as a node, and
  // with -i or -r one nothing asks for goes.
  e2e::WriteFile(Node("notes"), "not a node\n");
  ASSERT_EQ(symlink("/nowhere", Node("dangling").c_str()), 0);
  const std::string dangling = "qv_cspec: Unable to access $dangling device\n";
  fs::remove(At(e2e::kDeviceInfo));
  Expect({}, "", dangling, {"dangling", "notes"});
  EXPECT_FALSE(e2e::Exists(At(e2e::kDeviceInfo)));
  Expect({"-i"}, "", dangling + removing + "notes\n", {"dangling"});
  e2e::WriteFile(Node("notes"), "not a node\n");
  Expect({"-r"}, "", dangling + removing + "notes\n", {"dangling"});
}

TEST_F(CspecE2eTest, DebugShowsListLimitsDumpTriesAndTheMajor) {
  Bare();
  e2e::WriteFile(At("/usr/ruded/config/excludelist"), "c10t3\n");
  e2e::MakeNode(Node("c10"), Dev(41, 0, 1, 0, 7));
  Expect({"-d"}, "",
         "mkxlist: Building the exclusion list\nmkxlist: Finished\n"
         "MAX_BUS=8 MAX_CNTL=8 MAX_SCSI_BUS=4 MAX_PUN=16\n"
         "NODE DUMP:\nNAME:  $c10\nFLAGS: c\nDEV:   c10t7d0s0\n\n"
         "SCSI major: 35\nmk tmp nod(c0t0d0s0)\n"
         "Open tmp node: c0t0d0s0, Errno=6\nmk tmp nod(c10t0d0s0)\n",
         {"c10"}, 0, "nodeA", kPart);
  // Six words a record, across lines; the first whose whole first word is
  // SCSI gives the leading digits of its sixth; longer words are cut.
  const std::string mdevice = At("/etc/conf/cf.d/mdevice");
  e2e::WriteFile(mdevice,
                 "*header a b c d e f\ndisk SCSI a b c 9\nSCSI2 a b c d 9\n"
                 "SCSI" + std::string(40, 'x') +
                     " a b c d 9\n  SCSI\ta  b\n\tc d  41-2 e\n"
                     "SCSI a b c d 42\n");
  Expect({"-d"}, "", "SCSI major: 41\n", {"c10"}, 0, "nodeA", kPart);
  // No whole record with SCSI, or no mdevice: 35 all the same.
  e2e::WriteFile(mdevice, "SCSI a b c");
  Expect({"-d"}, "", "qv_cspec: Unable to find SCSI major\nSCSI major: 35\n",
         {"c10"}, 0, "nodeA", kPart);
  fs::remove(mdevice);
  Expect({"-d"}, "",
         "qv_cspec: mdevice: No such file or directory\nSCSI major: 35\n",
         {"c10"}, 0, "nodeA", kPart);
}

TEST_F(CspecE2eTest, TwoMachinesStampAndNameEachOther) {
  // nodeA's port 0/1/0 and nodeB's port 0/0/0 share one bus with a disk.
  Make(
      "bus shared\n  adapter nodeA 0 1 0 7\n  adapter nodeB 0 0 0 6\n"
      "  disk 3 SEAGATE ST32550N 0021 serial=SEA1234\n");
  const std::string a = "Initiator $c10: set to c10:nodeA\n";
  // Unstamped, the initiator reports and fails: no responder is looked at
  // without -r.
  Expect({}, "Initiator $c10: uninitialized\n", "", {});
  Expect({"-i"}, "", "", {"c10"});
  Expect({}, a, "Responder $r10: uninitialized\n", {"c10"});
  Expect({"-i"}, "", "", {"c0"}, 0, "nodeB");
  Expect({}, a + "Responder $r10_nodeB: set to c0:nodeB\n", "", {"c10"});
  Expect({"-r"}, "", "", {"c10", "r10_nodeB"});
  EXPECT_EQ(e2e::NodeDev(Node("c10")), Dev(kMajor, 0, 1, 0, 7));
  EXPECT_EQ(e2e::NodeDev(Node("r10_nodeB")), Dev(kMajor, 0, 1, 0, 6));
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"),
            e2e::InfoLine("10", 3, "SEAGATE", "ST32550N", "0021", "SEA1234"));
  // nodeB names nodeA's responder by nodeA's own stamp.
  Expect({"-i", "-r"}, "", "", {"c0", "r0_nodeA"}, 0, "nodeB");
  // Existing nodes are renamed to the names asked for, not made again.
  fs::remove_all(cluster_.Cspecials("nodeA"));
  e2e::MakeNode(Node("c10.old"), Dev(kMajor, 0, 1, 0, 7));
  e2e::MakeNode(Node("r10"), Dev(kMajor, 0, 1, 0, 6));
  Expect({"-d", "-i"}, "",
         "FLAGS: cr\nDEV:   r10t6d0s0\n\n"
         "qv_cspec: Warning: Renaming $c10.old to $c10\n"
         "qv_cspec: Warning: Renaming $r10 to $r10_nodeB\n",
         {"c10", "r10_nodeB"}, 0, "nodeA", kPart);
  // With -c the responder node goes back to the short name.
  Expect({"-c", "-r"}, "", "qv_cspec: Warning: Renaming $r10_nodeB to $r10\n",
         {"c10", "r10"});
}

// nodeA's area was stamped by another machine; the machine at target 6
// stamps its own with its name cut to 17 characters.
TEST_F(CspecE2eTest, DashCNamesEveryResponderOfABusAlikeAndExclusionList) {
  const std::string l = "a-very-long-machine-name";
  Make("bus shared\n  adapter nodeA 0 0 0 7 stamp=c20:someone\n  adapter " + l +
       " 0 0 0 6\n  adapter nodeC 0 0 0 5 stamp=c3:nodeC\n");
  const std::string a = "Initiator $c0: set to c20:someone\n";
  const std::string xlist = At("/usr/ruded/config/excludelist");
  Expect({"-i"}, "", "", {"c0"}, 0, l);
  Expect({},
         a + "Responder $r0_nodeC: set to c3:nodeC\n"
             "Responder $r0_a-very-long-machi: set to c0:a-very-long-machi\n",
         "", {});
  Expect({"-c"},
         a + "Responder $r0: set to c3:nodeC\n"
             "Responder $r0: set to c0:a-very-long-machi\n",
         "", {});
  // Both entries want r0 with -c: the newer one (target 6) is made first
  // and the other's creation fails, said only with -d.  fakeroot's mknod
  // replaces an existing file instead, so there the older entry wins.
  Expect({"-d", "-c", "-r"}, "",
         getenv("FAKEROOTKEY")
             ? "mk resp nod(r0t5d0s0)\n"
             : "mk resp nod(r0t5d0s0)\nmknod responder: File exists\n",
         {"r0"}, 0, "nodeA", kPart);
  // The exclusion list matches whole entries, blanks and comments aside,
  // kept as the list grows; a long line is read in pieces of 129, the last
  // needs no newline.  The initiator's own target is never a responder,
  // listed or not.
  fs::remove(Node("r0"));
  e2e::WriteFile(xlist, "# keep the port at 6 out\n  c0 t6\n" +
                            std::string(129, 'x') + "c0\tt5");
  Expect({"-r"}, "", "", {});
  e2e::WriteFile(xlist, "c0t66\nc0\nc0t6#\n");
  Expect({"-r"}, "", "", {"r0_a-very-long-machi", "r0_nodeC"});
  // A stamped area is never written again.
  e2e::RunResult r = cluster_.Cspec("nodeA", {"-d", "-i"});
  EXPECT_EQ(r.err.find("Setting Vendor Specific Information"), r.err.npos);
}

TEST_F(CspecE2eTest, DeviceInfoHoldsOneLinePerDiskBySerialReader) {
  Make(
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
      "  disk 8 EMCX X 1 serial=EMCX0123456789\n");
  Expect({"-r"}, "",
         "qv_cspec: IO_SCSI failure (5)\n"
         "qv_cspec: unable to obtain serial number for device c0t5d0s0 "
         "(Vendor ID <IBM     >)\n",
         {});
  // SYMBIOS and HP keep ten characters, EMC nine, the rest up to 28.
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"),
            e2e::InfoLine("0", 0, "SYMBIOS", "RAID5", "0100", "SYM0123456") +
                e2e::InfoLine("0", 1, "EMC", "SYMMETRIX", "5266", "EMC012345") +
                e2e::InfoLine("0", 2, "HP", "C3010M1", "HP05", "HP01234567") +
                e2e::InfoLine("0", 4, "SEAGATE", "ST15150N", "0022",
                              "0123456789012345678901234567") +
                e2e::InfoLine("0", 8, "EMCX", "X", "1", "EMCX0123456789"));
  // Without -r disks are not identified at all.
  e2e::WriteFile(At(e2e::kDeviceInfo), "kept\n");
  Expect({"-i"}, "", "", {"c0"});
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"), "kept\n");
}

using e2e::InfoLine;

// text with @ replaced by the adapter and $ by the cspecials directory.
std::string Fill(std::string text, const std::string& a) {
  for (size_t at; (at = text.find('@')) != text.npos;) text.replace(at, 1, a);
  return e2e::Shown(text);
}

// The fault suites run alone (see robust.cmake).
class RobustFaultsTest : public CspecE2eTest {};

TEST_F(RobustFaultsTest, EveryFaultLeavesExactlyWhatCouldBeRead) {
  // The disk faults share bus c0, whose first disk opens, so that the
  // responder scan covers every target: a disk that cannot be opened is
  // passed over (ENXIO ends no scan), the pass-through answers an INQUIRY
  // that fails, serial numbers need the pass-through, and the adapters' own
  // commands do not matter to a disk.  Then one bus for each path a fault
  // of an adapter takes, each with nodeB stamped and a disk at 0: c1 loses
  // its initiator, c2's processor INQUIRY is answered by the fallback, c3's
  // area cannot be written (its node was asked for before), c10 cannot
  // read the far adapter.  c20 reports an address on another controller
  // and is left alone altogether.
  Make(
      "bus disks\n  adapter nodeA 0 0 0 7\n"
      "  adapter nodeB 0 0 0 6 stamp=c0:nodeB\n"
      "  disk 0 S T 1 serial=D0\n"
      "  disk 3 S T 1 serial=D3 open=ENXIO\n"
      "  disk 5 S T 1 serial=D5 inquiry=fail\n"
      "  disk 8 S T 1 serial=D8 passthru=fail\n"
      "  disk 10 S T 1 serial=D10 procinquiry=fail setinquiry=fail\n"
      "bus b1\n  adapter nodeA 0 0 1 7 open=EIO\n"
      "  adapter nodeB 0 0 1 6 stamp=c0:nodeB\n  disk 0 S T 1 serial=P\n"
      "bus b2\n  adapter nodeA 0 0 2 7 procinquiry=fail\n"
      "  adapter nodeB 0 0 2 6 stamp=c0:nodeB\n  disk 0 S T 1 serial=P\n"
      "bus b3\n  adapter nodeA 0 0 3 7 setinquiry=fail\n"
      "  adapter nodeB 0 0 3 6 stamp=c0:nodeB\n  disk 0 S T 1 serial=P\n"
      "bus b10\n  adapter nodeA 0 1 0 7\n  adapter nodeB 0 1 0 6 inquiry=fail "
      "passthru=fail\n  disk 0 S T 1 serial=P\n"
      "bus b20\n  adapter nodeA 0 2 0 7 initiator=0.7.3.7\n"
      "  adapter nodeB 0 2 0 6 stamp=c0:nodeB\n  disk 0 S T 1\n");
  auto line = [](const char* adapter, int target, const char* serial) {
    return InfoLine(adapter, target, "S", "T", "1", serial);
  };
  const std::string info = line("0", 0, "D0") + line("0", 5, "D5") +
                           line("0", 10, "D10") + line("1", 0, "P") +
                           line("2", 0, "P") + line("3", 0, "P") +
                           line("10", 0, "P");
  const std::string mismatch =
      "qv_cspec: Warning: Initiator mismatch: tdev=c20t0, idev=c73t7\n";
  const Names made = {"c0",       "c10",      "c2",       "c3",
                      "r0_nodeB", "r1_nodeB", "r2_nodeB", "r3_nodeB"};
  // The first run stamps and makes the nodes; the second finds them made.
  for (const std::string run : {"first", "second"}) {
    Expect({"-i", "-r"}, "",
           "qv_cspec: IO_SCSI failure (5)\nqv_cspec: unable to obtain serial "
           "number for device c0t8d0s0 (Vendor ID <S       >)\n" +
               mismatch,
           made);
    EXPECT_EQ(cluster_.DeviceInfo("nodeA"), info) << run;
  }
  // Debug says which fallback each fault took.
  e2e::RunResult r = cluster_.Cspec("nodeA", {"-d", "-i", "-r"});
  EXPECT_EQ(r.status, 0);
  for (const char* said :
       {"setup_initiator(c1t7d0s0)\nOpen Initiator Node: $c1, Errno=5\n",
        "setup_initiator(c2t7d0s0)\nmy_IO_GetProcessorInquiry: "
        "IO_GetProcessorInquiry: 5, trying IO_SCSI()\nIO_SCSI() returned 0, "
        "errno=",
        "Setting Vendor Specific Information\n"
        "setup_initiator, IO_SetInitiatorInquiry($c3): 5\n",
        "IO_Inquiry failure to c10t6d0s0, Errno=5\n"})
    EXPECT_NE(r.err.find(e2e::Shown(said)), r.err.npos) << said;
  // A report says what it could ask.
  Expect({},
         "Initiator $c0: set to c0:nodeA\nResponder $r0_nodeB: set to "
         "c0:nodeB\nInitiator $c2: set to c2:nodeA\nResponder $r2_nodeB: set "
         "to c0:nodeB\nInitiator $c3: uninitialized\nInitiator $c10: set to "
         "c10:nodeA\n",
         mismatch, made);
  // Without -r the responders of a bus whose initiator failed go.
  Expect({"-i"}, "",
         mismatch + "qv_cspec: Warning: Removing device $r1_nodeB\n"
                    "qv_cspec: Warning: Removing device $r3_nodeB\n",
         {"c0", "c10", "c2", "c3", "r0_nodeB", "r2_nodeB"}, 0, "nodeA",
         kAnyOrder);
}

// Tries of the probe per SCSI bus, counted from the -d lines: ENXIO ends a
// SCSI bus, or at target 0 the controller; ENODEV goes on.
TEST_F(RobustFaultsTest, OpenFailuresShortenTheSearch) {
  Make(
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
  e2e::RunResult r = cluster_.Cspec("nodeA", {"-d", "-r"});
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
  // The responder scan starts at the first target that opens.
  EXPECT_EQ(e2e::Lines(r.err, "Open Responder Node: c30t").at(0),
            "Open Responder Node: c30t4d0s0, Errno=19");
}

// One shared bus: nodeA at 7, nodeB (stamped) at 6, disks at 3 and 5.
constexpr char kHostileFabric[] =
    "bus shared\n"
    "  adapter nodeA 0 0 0 7 stamp=c0:nodeA\n"
    "  adapter nodeB 0 0 0 6 stamp=\"c0:@\"\n"
    "  disk 3 SEAGATE ST1 0001 serial=three\n"
    "  disk 5 SEAGATE ST1 0001 serial=five\n";

// A far machine whose node name is no file name: shown escaped (a
// backslash doubled, bytes outside printable ASCII in octal) in a warning,
// not used.  Then a fabric gone bad under a running cluster: the machine
// says so once and finds no hardware; the run still ends well.  (The
// parser's own cases are rows of its unit table.)
TEST_F(RobustFaultsTest, HostileFarNodeNameAndFabric) {
  Make(Fill(kHostileFabric, "ev/il\\\033\xff"));
  const std::string shown = "ev/il\\\\\\033\\377";
  const std::string warning = "qv_cspec: Warning: Ignoring node name \"" +
                              shown +
                              "\" of responder c0t6: not a plain file name\n";
  Expect({},
         Fill("Initiator $c0: set to c0:nodeA\nResponder $r0: set to c0:@\n",
              shown),
         warning, {});
  Expect({"-r"}, "", warning, {"r0"});
  e2e::WriteFile(cluster_.dir() + "/fabric",
                 std::string("bus b\n  adapter nodeA 0 0 0 7\0\n", 31));
  Expect({"-i", "-r"}, "",
         cluster_.Root("nodeA") + "/../fabric:2: NUL byte in line\n" +
             "qv_cspec: Warning: Removing device $r0\n",
         {});
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"), "");
}

// Run by root (or under fakeroot, which fakes the owners too), a machine
// root that another user owns, or that sits in a directory others may
// write, is refused before anything is touched; a device_info
// planted as a symbolic link is not followed.
TEST_F(RobustFaultsTest, MachineRootRootMayNotTrustIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root or fakeroot to own files";
  Make(Fill(kHostileFabric, "nodeB"));
  const std::string root = cluster_.Root("nodeA");
  const std::string info = root + e2e::kDeviceInfo;
  const std::string victim = tmp_.path() + "/victim";
  e2e::WriteFile(victim, "victim\n");
  ASSERT_EQ(symlink(victim.c_str(), info.c_str()), 0);
  const std::string dir = fs::canonical(root);
  const std::string parent = dir.substr(0, dir.rfind('/'));
  const struct {
    std::string path;
    uid_t owner;
    mode_t mode;
    std::string why;  // "" when the root is used
  } cases[] = {
      {dir, 4321, 0755, dir + " is not owned by root"},
      {parent, 0, 0775, parent + " is writable by group or others"},
      {dir, 0, 0755, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    ASSERT_EQ(chown(c.path.c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(chmod(c.path.c_str(), c.mode), 0);
    Expect({"-i", "-r"}, "",
           c.why.empty() ? "qv_cspec: Unable to open SCSI device info file "
                           "for writing: 40\n"
                         : "qv_cspec: Error: Unsafe machine root " + root +
                               ": " + c.why + "\n",
           c.why.empty() ? Names{"c0", "r0_nodeB"} : Names{}, !c.why.empty());
    ASSERT_EQ(chown(c.path.c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(c.path.c_str(), 0755), 0);
    EXPECT_EQ(e2e::ReadFile(victim), "victim\n");
    struct stat st;
    EXPECT_TRUE(lstat(info.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  }
}

}  // namespace
