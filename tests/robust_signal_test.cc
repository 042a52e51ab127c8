// qv_cspec interrupted mid-probe: SIGHUP, SIGINT, SIGQUIT, SIGPIPE (a
// reader that went away) and SIGTERM each remove the temporary probe node
// and end the run as the signal would; the lock
// on device_info goes with the process, so the next -r run gets it.  A
// signal the caller ignores (nohup) stays ignored.

#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

using e2e::Cluster;
using e2e::LockedByOther;
using e2e::Running;
using e2e::WaitFor;
using Names = std::vector<std::string>;

class RobustSignalTest : public testing::Test {
 protected:
  void SetUp() override {
    // SIGQUIT would leave a core file in the machine's directory.
    const struct rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    e2e::RunResult r = cluster_.Create(e2e::LongProbeFabric());
    ASSERT_EQ(r.status, 0) << r.err;
    info_ = cluster_.Root("nodeA") + e2e::kDeviceInfo;
  }

  // A -d -r run whose lines fill a pipe nobody reads, so that it stops
  // mid-probe with its probe node made and device_info locked.
  std::unique_ptr<Running> StartStalled(const std::vector<int>& ignored = {}) {
    auto run = std::make_unique<Running>(cluster_, "nodeA", Names{"-d", "-r"},
                                         Running::Err::kPipe, ignored);
    const std::string node = cluster_.Hostadp("nodeA") + "/" + run->TmpNode();
    EXPECT_TRUE(
        WaitFor([&] { return e2e::Exists(node) && LockedByOther(info_); }));
    return run;
  }

  // What a later -r run finds: the lock free and device_info its own.
  void ExpectNextRunWhole(const std::string& after) {
    EXPECT_FALSE(LockedByOther(info_)) << after;
    e2e::RunResult r = cluster_.Cspec("nodeA", {"-r"});
    EXPECT_EQ(r.status, 0) << after;
    EXPECT_EQ(r.err, "") << after;
    EXPECT_TRUE(
        e2e::SameLines(cluster_.DeviceInfo("nodeA"), e2e::LongProbeInfo()))
        << after;
  }

  Names TmpNodes() const { return e2e::TmpNodes(cluster_.Hostadp("nodeA")); }

  e2e::ScopedTempDir tmp_;
  Cluster cluster_{tmp_.path() + "/cluster"};
  std::string info_;
};

TEST_F(RobustSignalTest, EachCaughtSignalRemovesTheProbeNode) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    const std::string name = strsignal(sig);
    std::unique_ptr<Running> run = StartStalled();
    ASSERT_EQ(kill(run->pid(), sig), 0) << name;
    e2e::RunResult r = run->Wait();
    // The command dies of the signal itself, as its caller expects.
    EXPECT_EQ(r.status, 128 + sig) << name;
    EXPECT_EQ(TmpNodes(), Names{}) << name;
    ExpectNextRunWhole(name);
  }
}

TEST_F(RobustSignalTest, KilledRunReleasesTheDeviceInfoLock) {
  std::unique_ptr<Running> run = StartStalled();
  ASSERT_EQ(kill(run->pid(), SIGKILL), 0);
  EXPECT_EQ(run->Wait().status, 128 + SIGKILL);
  ExpectNextRunWhole("SIGKILL");
}

TEST_F(RobustSignalTest, IgnoredHangupIsLeftIgnored) {
  std::unique_ptr<Running> run = StartStalled({SIGHUP});
  ASSERT_EQ(kill(run->pid(), SIGHUP), 0);
  // Reading the pipe lets the run go on to its end.
  e2e::RunResult r = run->Wait();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(TmpNodes(), Names{});
  EXPECT_TRUE(
      e2e::SameLines(cluster_.DeviceInfo("nodeA"), e2e::LongProbeInfo()));
}

}  // namespace
