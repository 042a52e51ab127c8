// Hostile files around qv_cspec: a fabric that turns bad under a running
// cluster, a far machine whose node name is no file name, a machine root
// that root may not trust.  Each gives its documented result; run under
// the sanitizer preset, nothing may be read or written past a buffer.
// (The readers' edge cases, 100 KB lines, NUL bytes, no final newline, are
// rows of their unit tables: xlist, mdevice, the fabric parser.)

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

// One shared bus: nodeA at 7, nodeB (stamped) at 6, disks at 3 and 5.
constexpr char kFabric[] =
    "bus shared\n"
    "  adapter nodeA 0 0 0 7\n"
    "  adapter nodeB 0 0 0 6 stamp=c0:nodeB\n"
    "  disk 3 SEAGATE ST1 0001 serial=three\n"
    "  disk 5 SEAGATE ST1 0001 serial=five\n";

class RobustHostileTest : public testing::Test {
 protected:
  void SetUp() override {
    e2e::RunResult r = cluster_.Create(kFabric);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  std::string At(const std::string& path) const {
    return cluster_.Root("nodeA") + path;
  }

  e2e::ScopedTempDir tmp_;
  e2e::Cluster cluster_{tmp_.path() + "/cluster"};
};

// The machine says so once and finds no hardware; the run still ends well.
TEST_F(RobustHostileTest, FabricGoneBadLeavesTheMachineWithoutHardware) {
  const struct {
    const char* name;
    std::string text;
    std::string cause;  // what the complaint ends with
  } bad[] = {
      {"100 KB word",
       std::string(kFabric) +
           "  disk 8 A B C serial=" + std::string(100 * 1024, 'x'),
       ":6: serial: longer than 237 characters\n"},
      {"NUL byte", std::string("bus b\n  adapter nodeA 0 0 0 7\0\n", 31),
       ":2: NUL byte in line\n"},
  };
  for (const auto& c : bad) {
    e2e::WriteFile(cluster_.dir() + "/fabric", c.text);
    e2e::RunResult r = cluster_.Cspec("nodeA", {"-i", "-r"});
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(e2e::Lines(r.err).size(), 1u) << c.name;
    EXPECT_TRUE(r.err.size() >= c.cause.size() &&
                r.err.compare(r.err.size() - c.cause.size(), c.cause.size(),
                              c.cause) == 0)
        << c.name << ": " << r.err.substr(0, 200);
    EXPECT_EQ(cluster_.DeviceInfo("nodeA"), "") << c.name;
    EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")),
              std::vector<std::string>{})
        << c.name;
  }
}

// kFabric with nodeA stamped too (so that a report run looks for
// responders) and nodeB's node name given quoted.
std::string StampedFabric(const std::string& name) {
  std::string fabric = kFabric;
  const std::string a = "nodeA 0 0 0 7", b = "stamp=c0:nodeB";
  fabric.replace(fabric.find(b), b.size(), "stamp=\"c0:" + name + "\"");
  return fabric.replace(fabric.find(a), a.size(), a + " stamp=c0:nodeA");
}

TEST_F(RobustHostileTest, FarNodeNameThatIsNoFileNameIsNotUsed) {
  const struct {
    std::string name;  // nodeB's node name as its area holds it
    const char* shown;
  } cases[] = {
      {"ev/il", "ev/il"},
      {"..", ".."},
      {".hidden", ".hidden"},
      {"esc\033[2J", "esc\\033[2J"},
      {"back\\slash", "back\\\\slash"},
      {"high\xff", "high\\377"},
      // The fabric cannot write these: the state file can.
      {"new\nline", "new\\012line"},
      {"quo\"te", "quo\\\"te"},
  };
  const std::string state = cluster_.dir() + "/fabric.state";
  for (const auto& c : cases) {
    const bool in_state = c.name.find_first_of("\n\"") != std::string::npos;
    e2e::WriteFile(cluster_.dir() + "/fabric",
                   StampedFabric(in_state ? "nodeB" : c.name));
    std::string hex = "fe0000";  // magic, owner c0, byte 38
    for (size_t i = 0; i < 17; ++i) {
      char byte[3];
      snprintf(byte, sizeof byte, "%02x",
               i < c.name.size() ? static_cast<unsigned char>(c.name[i]) : 0);
      hex += byte;
    }
    e2e::WriteFile(state, in_state ? "nodeB 0.0.0 " + hex + "\n" : "");
    const std::string warning = std::string("qv_cspec: Warning: Ignoring ") +
                                "node name \"" + c.shown +
                                "\" of responder c0t6: not a plain file name\n";
    e2e::RunResult r = cluster_.Cspec("nodeA", {});
    EXPECT_EQ(r.status, 0) << c.shown;
    EXPECT_EQ(r.err, warning) << c.shown;
    EXPECT_NE(r.out.find("Responder " + (std::string(e2e::kCspecials) + "/r0") +
                         ": set to c0:" + c.shown + "\n"),
              std::string::npos)
        << c.shown << ": " << r.out;
    r = cluster_.Cspec("nodeA", {"-r"});
    EXPECT_EQ(r.status, 0) << c.shown;
    EXPECT_EQ(r.err, warning) << c.shown;
    EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")),
              std::vector<std::string>{"r0"})
        << c.shown;
    EXPECT_EQ(e2e::ListDir(cluster_.Hostadp("nodeA")),
              (std::vector<std::string>{"cspecials", "device_info"}))
        << c.shown;
    unlink((cluster_.Cspecials("nodeA") + "/r0").c_str());
  }
}

// Run by root (or under fakeroot, which fakes the owners too), a machine
// root that another user owns or may write, or that sits in a directory
// others may write, is refused before anything is touched; a device_info
// planted as a symbolic link is not followed.
TEST_F(RobustHostileTest, MachineRootRootMayNotTrustIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root or fakeroot to own files";
  const std::string root = cluster_.Root("nodeA");
  const std::string victim = tmp_.path() + "/victim";
  e2e::WriteFile(victim, "victim\n");
  ASSERT_EQ(symlink(victim.c_str(), At(e2e::kDeviceInfo).c_str()), 0);
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(root.c_str(), resolved), nullptr);
  const std::string dir = resolved;
  const std::string parent = dir.substr(0, dir.rfind('/'));
  const struct {
    const char* name;
    std::function<void()> make, undo;
    std::string why;  // "" when the root is used
  } cases[] = {
      {"owned by another user",
       [&] { ASSERT_EQ(chown(dir.c_str(), 4321, 4321), 0); },
       [&] { ASSERT_EQ(chown(dir.c_str(), 0, 0), 0); },
       dir + " is not owned by root"},
      {"group-writable", [&] { chmod(dir.c_str(), 0775); },
       [&] { chmod(dir.c_str(), 0755); },
       dir + " is writable by group or others"},
      {"in a directory others may write", [&] { chmod(parent.c_str(), 0777); },
       [&] { chmod(parent.c_str(), 0755); },
       parent + " is writable by group or others"},
      {"safe, device_info a symbolic link", [] {}, [] {}, ""},
  };
  for (const auto& c : cases) {
    c.make();
    const std::vector<std::string> before =
        e2e::ListDir(cluster_.Hostadp("nodeA"));
    e2e::RunResult r = cluster_.Cspec("nodeA", {"-i", "-r"});
    c.undo();
    if (c.why.empty()) {
      EXPECT_EQ(r.status, 0) << c.name;
      EXPECT_EQ(r.err,
                "qv_cspec: Unable to open SCSI device info file for "
                "writing: 40\n")
          << c.name;
      EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")),
                (std::vector<std::string>{"c0", "r0_nodeB"}))
          << c.name;
    } else {
      EXPECT_EQ(e2e::ListDir(cluster_.Hostadp("nodeA")), before) << c.name;
      EXPECT_EQ(r.status, 1) << c.name;
      EXPECT_EQ(r.err, "qv_cspec: Error: Unsafe machine root " + root + ": " +
                           c.why + "\n")
          << c.name;
      EXPECT_EQ(r.out, "") << c.name;
    }
    EXPECT_EQ(e2e::TmpNodes(cluster_.Hostadp("nodeA")),
              std::vector<std::string>{})
        << c.name;
    EXPECT_EQ(e2e::ReadFile(victim), "victim\n") << c.name;
    struct stat st;
    EXPECT_TRUE(lstat(At(e2e::kDeviceInfo).c_str(), &st) == 0 &&
                S_ISLNK(st.st_mode))
        << c.name;
  }
}

}  // namespace
