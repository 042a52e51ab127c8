// qv_cspec on a machine root made by hand and without SCSI hardware: the
// options, the cspecials directory, the scan, device_info and the final
// passes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

using e2e::CountPrefix;
using e2e::Dev;
using e2e::kCspecials;
using e2e::kDeviceInfo;
using e2e::kHostadp;
using e2e::MakeNode;
using e2e::RunCspec;
using Names = std::vector<std::string>;

class CspecDriverTest : public testing::Test {
 protected:
  void SetUp() override {
    umask(022);
    root_ = tmp_.path() + "/m";
    e2e::MakeBareMachine(root_, "nodeA",
                         "SCSI Iocrh icbo scsi 40 41 0 256 -1\n");
  }

  std::string at(const std::string& path) const { return root_ + path; }
  std::string cspecials() const { return at(kCspecials); }
  std::string node(const std::string& name) const {
    return cspecials() + "/" + name;
  }
  // The unmapped path that messages show.
  static std::string shown(const std::string& name) {
    return std::string(kCspecials) + "/" + name;
  }
  e2e::RunResult run(const std::vector<std::string>& args = {}) {
    return RunCspec(root_, args);
  }

  e2e::ScopedTempDir tmp_;
  std::string root_;
};

TEST_F(CspecDriverTest, BadOptionPrintsUsageWithTheNameAsInvoked) {
  std::filesystem::remove_all(cspecials());
  for (const char* bad : {"-x", "-dq", "-?"}) {
    e2e::RunResult r = run({bad});
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_EQ(r.out, "") << bad;
    EXPECT_EQ(r.err,
              "Usage: " + e2e::Staged("sbin/qv_cspec") + " [-c] [-i|-r]\n")
        << bad;
  }
  // Nothing was done before the options were read.
  EXPECT_FALSE(e2e::Exists(cspecials()));
  // Repeated options and words after the options are accepted.
  e2e::RunResult r = run({"-c", "-c", "-d", "-d", "extra", "-x"});
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(CspecDriverTest, DirectoryIsCreatedOnlyUnderAnExistingParent) {
  std::filesystem::remove_all(cspecials());
  e2e::RunResult r = run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  struct stat st;
  ASSERT_EQ(stat(cspecials().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0755u);

  std::filesystem::remove_all(at("/usr/ruded/subsys"));
  r = run({"-i", "-r"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, std::string("qv_cspec: Unable to locate ") + kCspecials +
                       " directory\n");
  EXPECT_FALSE(e2e::Exists(at("/usr/ruded/subsys")));
}

TEST_F(CspecDriverTest, DuplicateNodesAreRemovedInEveryMode) {
  const uint32_t dev = Dev(41, 0, 1, 0, 7);
  for (const Names& args :
       {Names{}, Names{"-i"}, Names{"-r"}, Names{"-c", "-i", "-r"}}) {
    std::string mode = args.empty() ? "report" : args.back();
    MakeNode(node("c10"), dev);
    MakeNode(node("other"), dev);
    e2e::RunResult r = run(args);
    ASSERT_EQ(r.status, 0) << mode << r.err;
    // The directory decides which entry comes first; the second one goes.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        r.err, m,
        std::regex("qv_cspec: Warning: Removing duplicate device " +
                   std::string(kCspecials) + "/(c10|other)\n")))
        << mode << r.err;
    std::string kept = m[1] == "c10" ? "other" : "c10";
    EXPECT_FALSE(e2e::Exists(node(m[1]))) << mode;
    if (args.empty()) {
      EXPECT_EQ(e2e::ListDir(cspecials()), Names{kept});
      EXPECT_EQ(e2e::NodeDev(node(kept)), dev);
      EXPECT_EQ(CountPrefix(r.err, "qv_cspec:"), 1) << r.err;
    } else {
      // Nothing on this machine asks for the kept one either.
      EXPECT_EQ(e2e::ListDir(cspecials()), Names{}) << mode;
      EXPECT_NE(r.err.find("qv_cspec: Warning: Removing device " + shown(kept) +
                           "\n"),
                std::string::npos)
          << mode << r.err;
    }
    std::filesystem::remove_all(cspecials());
    std::filesystem::create_directory(cspecials());
  }
}

TEST_F(CspecDriverTest, ReportModeChangesNothingButDuplicates) {
  MakeNode(node("c0"), Dev(41, 0, 0, 0, 7));
  MakeNode(node("r10_nodeB"), Dev(41, 0, 1, 0, 3));
  e2e::WriteFile(node("notes"), "not a node\n");
  ASSERT_EQ(symlink("/nowhere", node("dangling").c_str()), 0);
  const Names before = e2e::ListDir(cspecials());
  e2e::RunResult r = run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "qv_cspec: Unable to access " + shown("dangling") + " device\n");
  EXPECT_EQ(e2e::ListDir(cspecials()), before);
  EXPECT_EQ(e2e::ReadFile(node("notes")), "not a node\n");
  EXPECT_FALSE(e2e::Exists(at(kDeviceInfo)));
  EXPECT_EQ(e2e::TmpNodes(at(kHostadp)), Names{});
}

TEST_F(CspecDriverTest, UnaskedNodesAreRemovedWithIOrR) {
  for (const char* option : {"-i", "-r"}) {
    MakeNode(node("c0"), Dev(41, 0, 0, 0, 7));
    MakeNode(node("r0_nodeB"), Dev(41, 0, 0, 0, 3));
    e2e::WriteFile(node("notes"), "a regular file counts as a node\n");
    ASSERT_EQ(symlink("/nowhere", node("dangling").c_str()), 0);
    e2e::RunResult r = run({option});
    EXPECT_EQ(r.status, 0) << option << r.err;
    EXPECT_EQ(r.out, "") << option;
    for (const char* name : {"c0", "r0_nodeB", "notes"}) {
      EXPECT_NE(r.err.find("qv_cspec: Warning: Removing device " + shown(name) +
                           "\n"),
                std::string::npos)
          << option << " " << name << "\n"
          << r.err;
    }
    EXPECT_NE(r.err.find("qv_cspec: Unable to access " + shown("dangling") +
                         " device\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(CountPrefix(r.err, "qv_cspec:"), 4) << r.err;
    // An entry whose status cannot be read is never in the table, so it
    // stays.
    EXPECT_EQ(e2e::ListDir(cspecials()), Names{"dangling"}) << option;
    EXPECT_EQ(e2e::TmpNodes(at(kHostadp)), Names{}) << option;
    std::filesystem::remove(node("dangling"));
  }
}

TEST_F(CspecDriverTest, DeviceInfoIsEmptiedUnderItsLockOnlyWithR) {
  e2e::WriteFile(at(kDeviceInfo), "old line\n");
  e2e::RunResult r = run({"-i"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(e2e::ReadFile(at(kDeviceInfo)), "old line\n");

  r = run({"-r"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(e2e::Exists(at(kDeviceInfo)));
  EXPECT_EQ(e2e::ReadFile(at(kDeviceInfo)), "");  // no disk found
  // A device_info that cannot be opened: robust_hostile_test.
}

// Without a fabric the Linux backend serves, from sysfs under the machine
// root: a root without sys/ has no SCSI host, so nothing is found, marked
// or kept.
TEST_F(CspecDriverTest, NoFabricAndNoSysfsFindsNothingQuietly) {
  e2e::RunResult r = run({"-i", "-r"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(e2e::ListDir(cspecials()), Names{});
  EXPECT_EQ(e2e::ReadFile(at(kDeviceInfo)), "");
  EXPECT_FALSE(e2e::Exists(at("/var/lib/ruded")));
}

TEST_F(CspecDriverTest, DeviceInfoLockedByAnotherProcessIsLeftAlone) {
  e2e::WriteFile(at(kDeviceInfo), "written by the other run\n");
  int fd = open(at(kDeviceInfo).c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(lockf(fd, F_LOCK, 0), 0);
  e2e::RunResult r = run({"-r"});
  close(fd);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("qv_cspec: Unable to get exclusive lock on SCSI "
                        "device info file: (11|13)\n")))
      << r.err;
  EXPECT_EQ(e2e::ReadFile(at(kDeviceInfo)), "written by the other run\n");
}

TEST_F(CspecDriverTest, DebugShowsListLimitsDumpsAndEveryTry) {
  e2e::WriteFile(at("/usr/ruded/config/excludelist"), "c10t3\n");
  MakeNode(node("c10"), Dev(41, 0, 1, 0, 7));
  e2e::RunResult r = run({"-d"});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string dump =
      "NODE DUMP:\nNAME:  " + shown("c10") + "\nFLAGS: c\nDEV:   c10t7d0s0\n\n";
  const std::string head =
      "mkxlist: Building the exclusion list\n"
      "mkxlist: Finished\n"
      "MAX_BUS=8 MAX_CNTL=8 MAX_SCSI_BUS=4 MAX_PUN=16\n" +
      dump + "SCSI major: 41\n";
  ASSERT_EQ(r.err.substr(0, head.size()), head);
  ASSERT_GE(r.err.size(), head.size() + dump.size());
  EXPECT_EQ(r.err.substr(r.err.size() - dump.size()), dump);

  // Without hardware every controller answers ENXIO at its first try (the
  // cluster tests count the tries where there is hardware).
  EXPECT_EQ(CountPrefix(r.err, "mk tmp nod(c"), 64) << r.err;
  EXPECT_NE(r.err.find("mk tmp nod(c770t0d0s0)\n"
                       "Open tmp node: c770t0d0s0, Errno=6\n"),
            std::string::npos);
  EXPECT_EQ(e2e::TmpNodes(at(kHostadp)), Names{});
}

TEST_F(CspecDriverTest, MdeviceWithoutTheMajorFallsBackTo35) {
  const struct {
    bool exists;
    std::string text;
    const char* said;
  } cases[] = {
      {false, "", "qv_cspec: mdevice: No such file or directory\n"},
      {true, std::string(100 * 1024, '\0'), "qv_cspec: Unable to find SCSI major\n"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(at("/etc/conf/cf.d/mdevice"));
    if (c.exists) e2e::WriteFile(at("/etc/conf/cf.d/mdevice"), c.text);
    e2e::RunResult r = run({"-d"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find(std::string(c.said) + "SCSI major: 35\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("mk tmp nod(c0t0d0s0)"), std::string::npos);
  }
}

}  // namespace
