// simcluster's own behaviour, as a user runs it: create a cluster from a
// fabric file, refuse what it must refuse, and show buses, devices and
// vendor-specific areas.  (Every other end-to-end test builds its clusters
// with it too, and shows the linked commands and OTinit's System.)

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/e2e_util.h"

namespace {

using e2e::ListDir;
using e2e::ReadFile;
using e2e::WriteFile;
using Names = std::vector<std::string>;

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
  e2e::ScopedTempDir tmp_;
  const std::string fabric_ = tmp_.path() + "/cluster.fabric";
  e2e::Cluster cluster_{tmp_.path() + "/cluster"};
};

// Node names, mdevice, the product's directories, the linked commands
// and OTinit's System object show in every other end-to-end test, and the
// state file's areas in simcluster show; tmp/ is for everyone.
TEST_F(SimclusterTest, CreateLaysOutARootForEveryMachineAndShowReadsIt) {
  e2e::RunResult r = cluster_.Create(kFabric);
  EXPECT_EQ(std::to_string(r.status) + r.out + r.err, "0");
  EXPECT_EQ(
      ListDir(cluster_.dir()),
      (Names{"fabric", "fabric.state", "fabric.state.lock", "nodeA", "nodeB"}));
  EXPECT_EQ(ReadFile(cluster_.dir() + "/fabric"), kFabric);
  struct stat st;
  ASSERT_EQ(stat((cluster_.Root("nodeB") + "/tmp").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode, S_IFDIR | 01777u);

  // show decodes areas as the machines read them (the areas the fabric
  // presets show in qv_cspec's runs).  Areas in the state file's own form:
  // nodeA's shared port stamped by nodeA, nodeB's preset overwritten, and
  // one for an adapter that is no longer in the fabric; nodeA's private
  // port is uninitialized.  Byte 38 and a 17-byte name without NUL are
  // shown as read.
  const std::string state = cluster_.dir() + "/fabric.state";
  WriteFile(state, "# hand-written\nnodeA 0.0.0 fe00006e6f646541" +
                       std::string(24, '0') +
                       "\nnodeB 0.1.0 fe04ff6162636465666768696a6b6c6d6e6f7071"
                       "\nnodeC 0.0.1 fe0100" +
                       std::string(34, '0') + "\n");
  r = cluster_.Show();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "bus shared\n"
            "  3 disk \"SEAGATE \" \"ST31200N        \" \"8724\" serial "
            "\"SEA123\"\n"
            "  5 device type 1 \"HP      \" \"C1533A          \" \"9503\" "
            "[open=EBUSY]\n"
            "  6 adapter nodeB c10: set to c10:abcdefghijklmnopq\n"
            "  7 adapter nodeA c0: set to c0:nodeA\n"
            "bus private\n"
            "  0 disk \"EMC     \" \"SYMMETRIX       \" \"5265\" serial "
            "\"EMC 1\" [evpd=fail]\n"
            "  7 adapter nodeA c102: uninitialized [procinquiry=fail]\n"
            "stale nodeC 0.0.1: set to c1:\n");
  WriteFile(state, "nodeA 0.0.0 zz\n");
  r = cluster_.Show();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "simcluster: " + state +
                       ":1: expected <machine> "
                       "<bus>.<controller>.<scsi-bus> <40 hex digits>\n");
}

TEST_F(SimclusterTest, RefusesBadInputAndTouchesNothing) {
  const std::string t = tmp_.path();
  WriteFile(t + "/bad.txt", "bus a\n  adapter m 0 9 0 7\n");
  WriteFile(t + "/full/keep", "mine");
  WriteFile(fabric_, kFabric);
  const struct {
    Names args;  // after the program
    int status;
    std::string err;  // start of standard error (of standard output at 0)
  } cases[] = {
      {{"--help"}, 0, "usage: simcluster create"},
      {{}, 2, "simcluster: no command given\nusage: simcluster create"},
      {{"create", fabric_}, 2, "simcluster: create takes a fabric file"},
      {{"create", t + "/bad.txt", cluster_.dir()},
       1,
       "simcluster: " + t +
           "/bad.txt:2: adapter: controller \"9\" is not a number from 0 to "
           "7\n"},
      {{"create", t + "/none.txt", cluster_.dir()},
       1,
       "simcluster: " + t + "/none.txt: No such file or directory\n"},
      {{"create", fabric_, t + "/full"},
       1,
       "simcluster: " + t + "/full: exists and is not empty\n"},
      {{"show", t}, 1, "simcluster: " + t + "/fabric: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    Names argv = c.args;
    argv.insert(argv.begin(), Simcluster());
    e2e::RunResult r = e2e::Run(argv);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ((c.status ? r.err : r.out).substr(0, c.err.size()), c.err);
    EXPECT_EQ(c.status ? r.out : r.err, "");
  }
  EXPECT_FALSE(e2e::Exists(cluster_.dir()));
  EXPECT_EQ(ListDir(t + "/full"), Names{"keep"});
}

}  // namespace
