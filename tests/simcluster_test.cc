// simcluster as a user runs it: create a cluster from a fabric file, refuse
// what it must refuse, link the object-tool commands and run OTinit, and
// show buses, devices and vendor-specific areas.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/e2e_util.h"

namespace {

using e2e::Exists;
using e2e::ListDir;
using e2e::ReadFile;
using e2e::WriteFile;

const char kFabric[] =
    "# nodeA and nodeB share a bus; nodeA has a private one\n"
    "bus shared\n"
    "  adapter nodeA 0 0 0 7\n"
    "  adapter nodeB 0 1 0 6 stamp=c10:nodeB\n"
    "  disk 3 SEAGATE ST31200N 8724 serial=SEA123\n"
    "  device 5 1 HP C1533A 9503 open=EBUSY\n"
    "bus private\n"
    "  adapter nodeA 1 0 2 7 procinquiry=fail\n"
    "  disk 0 \"EMC     \" SYMMETRIX 5265 serial=\"EMC 1\" evpd=fail\n";

std::string Simcluster() { return e2e::Staged(QV_BIN_SUBDIR "/simcluster"); }

class SimclusterTest : public testing::Test {
 protected:
  SimclusterTest() : fabric_(tmp_.path() + "/fabric.txt"),
                     cluster_(tmp_.path() + "/cluster") {
    WriteFile(fabric_, kFabric);
  }
  e2e::RunResult Create() {
    return e2e::Run({Simcluster(), "create", fabric_, cluster_});
  }

  e2e::ScopedTempDir tmp_;
  std::string fabric_, cluster_;
};

TEST_F(SimclusterTest, CreateLaysOutARootForEveryMachine) {
  e2e::RunResult r = Create();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ListDir(cluster_),
            (std::vector<std::string>{"fabric", "fabric.state",
                                      "fabric.state.lock", "nodeA", "nodeB"}));
  EXPECT_EQ(ReadFile(cluster_ + "/fabric"), kFabric);
  const std::string state = ReadFile(cluster_ + "/fabric.state");
  EXPECT_FALSE(state.empty());
  EXPECT_EQ(e2e::Lines(state, "#"), e2e::Lines(state)) << "no area is set yet";
  for (std::string m : {"nodeA", "nodeB"}) {
    std::string root = cluster_ + "/" + m;
    EXPECT_EQ(ReadFile(root + "/etc/nodename"), m + "\n");
    std::string mdevice = ReadFile(root + "/etc/conf/cf.d/mdevice");
    EXPECT_NE(mdevice.find("\nSCSI\tIocrwi\tiHcr\tscsi\t0\t35\t"),
              std::string::npos)
        << mdevice;
    for (const char* dir : {"var/adm", "usr/ruded/config",
                            "usr/ruded/subsys/scsi/resources/hostadp",
                            "usr/sadm/sysadm/bin"})
      EXPECT_TRUE(std::filesystem::is_directory(root + "/" + dir)) << dir;
    struct stat st;
    ASSERT_EQ(stat((root + "/tmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode, S_IFDIR | 01777u);
    EXPECT_FALSE(Exists(root + "/usr/ruded/subsys/scsi/resources/hostadp/"
                        "cspecials"))
        << "qv_cspec makes cspecials itself";
  }
  // An existing empty directory is fine too.
  std::string empty = tmp_.path() + "/empty";
  mkdir(empty.c_str(), 0755);
  r = e2e::Run({Simcluster(), "create", fabric_, empty});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Exists(empty + "/nodeB/etc/nodename"));
}

TEST_F(SimclusterTest, RefusesBadInputAndTouchesNothing) {
  WriteFile(tmp_.path() + "/bad.txt", "bus a\n  adapter m 0 9 0 7\n");
  WriteFile(tmp_.path() + "/full/keep", "mine");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // start of standard error
  } cases[] = {
      {{}, 2, "simcluster: no command given\nusage: simcluster create"},
      {{"create", fabric_}, 2, "simcluster: create takes a fabric file"},
      {{"create", tmp_.path() + "/bad.txt", cluster_}, 1,
       "simcluster: " + tmp_.path() +
           "/bad.txt:2: adapter: controller \"9\" is not a number from 0 to "
           "7\n"},
      {{"create", tmp_.path() + "/none.txt", cluster_}, 1,
       "simcluster: " + tmp_.path() + "/none.txt: No such file or directory\n"},
      {{"create", fabric_, tmp_.path() + "/full"}, 1,
       "simcluster: " + tmp_.path() + "/full: exists and is not empty\n"},
      {{"show", tmp_.path()}, 1, "simcluster: " + tmp_.path() + "/fabric: "},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv{Simcluster()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    e2e::RunResult r = e2e::Run(argv);
    std::string what = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(r.status, c.status) << what << ": " << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << what;
    EXPECT_EQ(r.out, "") << what;
  }
  EXPECT_FALSE(Exists(cluster_));
  EXPECT_EQ(ListDir(tmp_.path() + "/full"), std::vector<std::string>{"keep"});
  e2e::RunResult help = e2e::Run({Simcluster(), "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: simcluster create", 0), 0u);
}

TEST_F(SimclusterTest, ShowDecodesAreasAsTheMachinesReadThem) {
  ASSERT_EQ(Create().status, 0);
  e2e::RunResult r = e2e::Run({Simcluster(), "show", cluster_});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "bus shared\n"
            "  3 disk \"SEAGATE \" \"ST31200N        \" \"8724\" serial "
            "\"SEA123\"\n"
            "  5 device type 1 \"HP      \" \"C1533A          \" \"9503\" "
            "[open=EBUSY]\n"
            "  6 adapter nodeB c10: set to c10:nodeB\n"
            "  7 adapter nodeA c0: uninitialized\n"
            "bus private\n"
            "  0 disk \"EMC     \" \"SYMMETRIX       \" \"5265\" serial "
            "\"EMC 1\" [evpd=fail]\n"
            "  7 adapter nodeA c102: uninitialized [procinquiry=fail]\n");

  // Areas written since, in the state file's own form: nodeA's shared port
  // stamped by nodeA, nodeB's preset overwritten, and one for an adapter
  // that is no longer in the fabric.  Byte 38 and a 17-byte name without
  // NUL are shown as read.
  WriteFile(cluster_ + "/fabric.state",
            "# hand-written\n"
            "nodeA 0.0.0 fe00006e6f646541" + std::string(24, '0') + "\n"
            "nodeB 0.1.0 fe04ff" + std::string("6162636465666768696a6b6c6d6e6f7071") + "\n"
            "nodeC 0.0.1 fe0100" + std::string(34, '0') + "\n");
  r = e2e::Run({Simcluster(), "show", cluster_});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  7 adapter nodeA c0: set to c0:nodeA\n"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  6 adapter nodeB c10: set to c10:abcdefghijklmnopq\n"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("stale nodeC 0.0.1: set to c1:\n"), std::string::npos)
      << r.out;

  WriteFile(cluster_ + "/fabric.state", "nodeA 0.0.0 zz\n");
  r = e2e::Run({Simcluster(), "show", cluster_});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "simcluster: " + cluster_ + "/fabric.state:1: expected "
            "<machine> <bus>.<controller>.<scsi-bus> <40 hex digits>\n");
}

// A copy of simcluster in a layout of its own, with a command directory
// beside it, as an installation has.
TEST_F(SimclusterTest, LinksTheCommandsAndRunsOTinitOnEachMachine) {
  std::string prefix = tmp_.path() + "/prefix";
  std::string bin = prefix + "/" QV_BIN_SUBDIR;
  std::string commands = prefix + "/" QV_OT_BIN_SUBDIR;
  std::filesystem::create_directories(bin);
  std::filesystem::copy_file(Simcluster(), bin + "/simcluster");
  chmod((bin + "/simcluster").c_str(), 0755);
  WriteFile(commands + "/OTinit",
            "#!/bin/sh\necho \"$RUDED_ROOT\" > \"$RUDED_ROOT/otinit.ran\"\n");
  WriteFile(commands + "/OTgetattr", "#!/bin/sh\nexit 0\n");
  WriteFile(commands + "/README", "not a command\n");
  chmod((commands + "/OTinit").c_str(), 0755);
  chmod((commands + "/OTgetattr").c_str(), 0755);

  e2e::RunResult r = e2e::Run({bin + "/simcluster", "create", fabric_, cluster_});
  ASSERT_EQ(r.status, 0) << r.err;
  for (std::string m : {"nodeA", "nodeB"}) {
    std::string root = cluster_ + "/" + m;
    EXPECT_EQ(ListDir(root + "/usr/sadm/sysadm/bin"),
              (std::vector<std::string>{"OTgetattr", "OTinit"}));
    EXPECT_EQ(std::filesystem::read_symlink(root + "/usr/sadm/sysadm/bin/OTinit"),
              std::filesystem::canonical(commands + "/OTinit"));
    EXPECT_EQ(ReadFile(root + "/otinit.ran"), root + "\n");
  }

  WriteFile(commands + "/OTinit", "#!/bin/sh\nexit 3\n");
  std::string other = tmp_.path() + "/other";
  r = e2e::Run({bin + "/simcluster", "create", fabric_, other});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("OTinit (RUDED_ROOT=" + other + "/nodeA) failed with "
                       "status 3"),
            std::string::npos)
      << r.err;
}

}  // namespace
