// qv_cspec as its users run it, on simulated clusters: the options, the
// cspecials directory and its scan, machines stamping their adapters and
// naming each other's, the probe's search, and disks identified into
// device_info.  Each scenario is a table of runs, each row checked whole.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
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
  // Repeated options and words after them are accepted.
  Expect({"-c", "-c", "-d", "-d", "extra", "-x"}, "", "", {}, 0, "nodeA",
         kPart);
  struct stat st;
  ASSERT_EQ(stat(cluster_.Cspecials("nodeA").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode, S_IFDIR | 0755u);
  // Without hardware nothing is found, marked or kept.
  Expect({"-i", "-r"}, "", "", {});
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"), "");
  EXPECT_FALSE(e2e::Exists(At("/var/lib/ruded")));
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
  for (const Names& args : {Names{}, Names{"-i"}, Names{"-c", "-i", "-r"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    const uint32_t dev = Dev(41, 0, 1, 0, 7);
    e2e::MakeNode(Node("c10"), dev);
    e2e::MakeNode(Node("other"), dev);
    e2e::RunResult r = cluster_.Cspec("nodeA", args);
    EXPECT_EQ(r.status, 0);
    // The directory decides which entry comes first; the second one goes,
    // and with -i or -r the first too, as nothing asks for it.
    std::smatch m;
    const std::string dup = "qv_cspec: Warning: Removing duplicate device $";
    ASSERT_TRUE(std::regex_match(
        r.err, m, std::regex(e2e::Shown(dup + "(c10|other)\n(.*\n)?"))));
    const std::string kept = m[1] == "c10" ? "other" : "c10";
    if (args.empty()) {
      EXPECT_EQ(r.err, e2e::Shown(dup + m[1].str() + "\n"));
      EXPECT_EQ(e2e::NodeDev(Node(kept)), dev);
    } else {
      EXPECT_EQ(r.err, e2e::Shown(dup + m[1].str() +
                                  "\nqv_cspec: Warning: Removing device $" +
                                  kept + "\n"));
    }
    fs::remove_all(cluster_.Cspecials("nodeA"));
    fs::create_directory(cluster_.Cspecials("nodeA"));
  }
  // A report changes nothing; an entry whose status cannot be read is
  // never in the table, so it stays; a regular file counts as a node.
  e2e::MakeNode(Node("c0"), Dev(41, 0, 0, 0, 7));
  e2e::MakeNode(Node("r10_nodeB"), Dev(41, 0, 1, 0, 3));
  e2e::WriteFile(Node("notes"), "not a node\n");
  ASSERT_EQ(symlink("/nowhere", Node("dangling").c_str()), 0);
  const std::string dangling = "qv_cspec: Unable to access $dangling device\n";
  const std::string removing = "qv_cspec: Warning: Removing device $";
  fs::remove(At(e2e::kDeviceInfo));
  Expect({}, "", dangling, {"c0", "dangling", "notes", "r10_nodeB"});
  EXPECT_FALSE(e2e::Exists(At(e2e::kDeviceInfo)));
  Expect({"-i"}, "",
         dangling + removing + "c0\n" + removing + "notes\n" + removing +
             "r10_nodeB\n",
         {"dangling"}, 0, "nodeA", kAnyOrder);
  e2e::WriteFile(Node("notes"), "not a node\n");
  Expect({"-r"}, "", dangling + removing + "notes\n", {"dangling"}, 0, "nodeA",
         kAnyOrder);
}

TEST_F(CspecE2eTest, DeviceInfoIsEmptiedUnderItsLockOnlyWithR) {
  Bare();
  e2e::WriteFile(At(e2e::kDeviceInfo), "old line\n");
  // Locked by another process, it is left alone.
  int fd = open(At(e2e::kDeviceInfo).c_str(), O_RDWR);
  ASSERT_EQ(lockf(fd, F_LOCK, 0), 0);
  e2e::RunResult r = cluster_.Cspec("nodeA", {"-r"});
  close(fd);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("qv_cspec: Unable to get exclusive lock on SCSI "
                        "device info file: (11|13)\n")))
      << r.err;
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"), "old line\n");
  Expect({"-r"}, "", "", {});
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"), "");
}

TEST_F(CspecE2eTest, DebugShowsListLimitsDumpsMajorAndEveryTry) {
  Bare();
  e2e::WriteFile(At("/usr/ruded/config/excludelist"), "c10t3\n");
  e2e::MakeNode(Node("c10"), Dev(41, 0, 1, 0, 7));
  const std::string dump =
      "NODE DUMP:\nNAME:  $c10\nFLAGS: c\nDEV:   c10t7d0s0\n\n";
  std::string tries;  // every controller answers ENXIO at its first try
  for (const char* b : {"", "1", "2", "3", "4", "5", "6", "7"})
    for (const char* c : {"0", "1", "2", "3", "4", "5", "6", "7"}) {
      const std::string a = std::string(b) + (*b ? c : *c == '0' ? "" : c);
      tries += "mk tmp nod(c" + a + "0t0d0s0)\nOpen tmp node: c" + a +
               "0t0d0s0, Errno=6\n";
    }
  Expect({"-d"}, "",
         "mkxlist: Building the exclusion list\nmkxlist: Finished\n"
         "MAX_BUS=8 MAX_CNTL=8 MAX_SCSI_BUS=4 MAX_PUN=16\n" +
             dump + "SCSI major: 35\n" + tries + dump,
         {"c10"});
  // An mdevice without the major: 35 all the same.
  fs::remove(At("/etc/conf/cf.d/mdevice"));
  Expect({"-d"}, "",
         "qv_cspec: mdevice: No such file or directory\nSCSI major: 35\n",
         {"c10"}, 0, "nodeA", kPart);
  e2e::WriteFile(At("/etc/conf/cf.d/mdevice"), std::string(100 * 1024, '\0'));
  Expect({"-d"}, "", "qv_cspec: Unable to find SCSI major\nSCSI major: 35\n",
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
  Expect({},
         "Initiator $c0: set to c0:nodeB\nResponder $r0_nodeA: set to "
         "c10:nodeA\n",
         "", {"c0"}, 0, "nodeB");
  Expect({"-r"}, "", "", {"c10", "r10_nodeB"});
  EXPECT_EQ(e2e::NodeDev(Node("c10")), Dev(kMajor, 0, 1, 0, 7));
  EXPECT_EQ(e2e::NodeDev(Node("r10_nodeB")), Dev(kMajor, 0, 1, 0, 6));
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"),
            e2e::InfoLine("10", 3, "SEAGATE", "ST32550N", "0021", "SEA1234"));
  fs::remove_all(cluster_.Cspecials("nodeB"));
  Expect({"-i", "-r"}, "", "", {"c0", "r0_nodeA"}, 0, "nodeB");
  EXPECT_EQ(cluster_.DeviceInfo("nodeB"),
            e2e::InfoLine("0", 3, "SEAGATE", "ST32550N", "0021", "SEA1234"));
  // Existing nodes are renamed to the names asked for, not made again.
  fs::remove_all(cluster_.Cspecials("nodeA"));
  e2e::MakeNode(Node("c10.old"), Dev(kMajor, 0, 1, 0, 7));
  e2e::MakeNode(Node("r10"), Dev(kMajor, 0, 1, 0, 6));
  e2e::RunResult r = cluster_.Cspec("nodeA", {"-d", "-i"});
  EXPECT_TRUE(r.err.ends_with(
      e2e::Shown("FLAGS: cr\nDEV:   r10t6d0s0\n\n"
                 "qv_cspec: Warning: Renaming $c10.old to $c10\n"
                 "qv_cspec: Warning: Renaming $r10 to $r10_nodeB\n")))
      << r.err;
  EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")),
            (Names{"c10", "r10_nodeB"}));
  EXPECT_EQ(e2e::NodeDev(Node("r10_nodeB")), Dev(kMajor, 0, 1, 0, 6));
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
  // Both entries want r0 with -c: the newer one (target 6) is made first
  // and the other's creation fails, said only with -d.  fakeroot's mknod
  // replaces an existing file instead, so there the older entry wins.
  const bool faked = getenv("FAKEROOTKEY") != nullptr;
  Expect({"-i"}, "", "", {"c0"}, 0, l);
  Expect({},
         a + "Responder $r0_nodeC: set to c3:nodeC\n"
             "Responder $r0_a-very-long-machi: set to c0:a-very-long-machi\n",
         "", {});
  Expect({"-c"},
         a + "Responder $r0: set to c3:nodeC\n"
             "Responder $r0: set to c0:a-very-long-machi\n",
         "", {});
  Expect({"-c", "-r"}, "", "", {"r0"});
  EXPECT_EQ(e2e::NodeDev(Node("r0")), Dev(kMajor, 0, 0, 0, faked ? 5 : 6));
  fs::remove(Node("r0"));
  Expect({"-d", "-c", "-r"}, "",
         faked ? "mk resp nod(r0t5d0s0)\n"
               : "mk resp nod(r0t5d0s0)\nmknod responder: File exists\n",
         {"r0"}, 0, "nodeA", kPart);
  // The exclusion list matches whole entries, blanks and comments aside;
  // the initiator's own target is never a responder, listed or not.
  fs::remove(Node("r0"));
  e2e::WriteFile(xlist, "# keep the port at 6 out\n  c0 t6\n");
  Expect({"-r"}, "", "", {"r0_nodeC"});
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
      "  disk 8 EMCX X 1 serial=EMCX0123456789\n"
      "  disk 9 HPQ X 1 serial=SHORT\n");
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
                e2e::InfoLine("0", 8, "EMCX", "X", "1", "EMCX0123456789") +
                e2e::InfoLine("0", 9, "HPQ", "X", "1", "SHORT"));
  e2e::RunResult r = cluster_.Cspec("nodeA", {"-d", "-r"});
  for (const char* said :
       {"Skipping device info for MYLEX device\n",
        "Obtaining device info (EMC):\n"
        "c0:c0t1d0s0:EMC     :SYMMETRIX       :5266:EMC012345\n",
        "Obtaining device info (HP):\n", "Obtaining device info (SYMBIOS):\n"})
    EXPECT_NE(r.err.find(said), r.err.npos) << said;
  EXPECT_EQ(e2e::Lines(r.err, "Obtaining device info (default):").size(), 4u);
  // Without -r disks are not identified at all.
  e2e::WriteFile(At(e2e::kDeviceInfo), "kept\n");
  Expect({"-i"}, "", "", {"c0"});
  EXPECT_EQ(cluster_.DeviceInfo("nodeA"), "kept\n");
}

}  // namespace
