// qv_cspec out of storage: a whole -i -r run on the demo cluster, once per
// allocation, with that allocation failing (through the preloaded
// robust_failmalloc.so).  In the scan of cspecials it must say "No more
// memory", end with status 1 and leave the directory, device_info and the
// machine as they were.  Anywhere after it the failure costs one step (a
// node, a line, a removal) and the run goes on to remove its temporary
// node and end with status 0.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

using e2e::Dev;
using Names = std::vector<std::string>;

bool Sanitized() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#endif
#endif
  return false;
}

// Whether every line of actual is a whole line of expected, in expected's
// order.
bool SomeLinesOf(const std::string& actual, const std::string& expected) {
  std::vector<std::string> want = e2e::Lines(expected);
  auto next = want.begin();
  for (const std::string& line : e2e::Lines(actual)) {
    next = std::find(next, want.end(), line);
    if (next == want.end()) return false;
    ++next;
  }
  return actual.empty() || actual.back() == '\n';
}

class RobustCspecAllocTest : public testing::Test {
 protected:
  void SetUp() override {
    // The preloaded allocator would bypass AddressSanitizer's.
    if (Sanitized()) GTEST_SKIP() << "no preloaded malloc in a sanitizer build";
    ASSERT_EQ(demo_.Create(e2e::ReadFile(DEMO_FABRIC)).status, 0);
    // beta stamps its adapter first, so that alpha names its responder.
    ASSERT_EQ(demo_.Cspec("beta", {"-i"}).status, 0);
    state_ = e2e::ReadFile(demo_.dir() + "/fabric.state");
  }

  // alpha as every run finds it: two nodes that no hardware asks for (one
  // with a name too long to be kept inside a string), device_info "kept",
  // and only beta's adapter stamped.
  void Reset() {
    for (const std::string& name : e2e::ListDir(demo_.Cspecials("alpha")))
      unlink((demo_.Cspecials("alpha") + "/" + name).c_str());
    e2e::MakeNode(demo_.Cspecials("alpha") + "/" + kUnasked[0],
                  Dev(35, 7, 7, 3, 0));
    e2e::MakeNode(demo_.Cspecials("alpha") + "/" + kUnasked[1],
                  Dev(35, 7, 7, 3, 6));
    e2e::WriteFile(demo_.Root("alpha") + e2e::kDeviceInfo, "kept\n");
    e2e::WriteFile(demo_.dir() + "/fabric.state", state_);
  }

  // Runs qv_cspec -i -r as alpha with allocation fail_at (none when
  // negative) failing; *count receives the allocations counted and whether
  // the failure happened, as the preloaded library reports them.
  e2e::RunResult Run(long fail_at, std::string* count) {
    Reset();
    const std::string count_file = tmp_.path() + "/count";
    unlink(count_file.c_str());
    e2e::RunOptions options;
    const char* preloaded = getenv("LD_PRELOAD");  // fakeroot's, say
    options.env = {
        {"RUDED_ROOT", demo_.Root("alpha")},
        {"LD_PRELOAD", std::string(ROBUST_FAILMALLOC) +
                           (preloaded ? std::string(":") + preloaded : "")},
        {"ROBUST_ALLOC_COUNT", count_file}};
    if (fail_at >= 0)
      options.env["ROBUST_ALLOC_FAIL"] = std::to_string(fail_at);
    e2e::RunResult r =
        e2e::Run({e2e::Staged("sbin/qv_cspec"), "-i", "-r"}, options);
    *count = e2e::ReadFile(count_file);
    return r;
  }

  const Names kUnasked = {"c7", "r7_a-machine-with-a-long-name"};
  e2e::ScopedTempDir tmp_;
  e2e::Cluster demo_{tmp_.path() + "/demo"};
  std::string state_;
};

TEST_F(RobustCspecAllocTest, OutOfStorageEndsTheRunOnlyUpToTheScan) {
  std::string count;
  e2e::RunResult r = Run(-1, &count);
  ASSERT_EQ(r.status, 0) << r.err;
  const Names nodes = e2e::ListDir(demo_.Cspecials("alpha"));
  const std::string info = demo_.DeviceInfo("alpha");
  ASSERT_EQ(nodes, (Names{"c0", "c1", "r0_beta"}));
  ASSERT_EQ(e2e::Lines(info).size(), 5u) << info;
  const long points = atol(count.c_str());
  ASSERT_GT(points, 0) << count;

  long exits = 0;
  for (long n = 0; n < points; ++n) {
    const std::string at = "allocation " + std::to_string(n);
    r = Run(n, &count);
    ASSERT_EQ(count.substr(count.find(' ')), " 1\n") << at << ": " << r.err;
    EXPECT_EQ(e2e::TmpNodes(demo_.Hostadp("alpha")), Names{}) << at;
    // Nor a temporary of the simulated hardware's state.
    EXPECT_EQ(
        e2e::ListDir(demo_.dir()),
        (Names{"alpha", "beta", "fabric", "fabric.state", "fabric.state.lock"}))
        << at;
    const Names left = e2e::ListDir(demo_.Cspecials("alpha"));
    if (r.status == 1) {
      // Only up to the end of the scan: device_info not yet emptied, no
      // adapter stamped, nothing touched.
      ++exits;
      EXPECT_EQ(r.err, "qv_cspec: No more memory\n") << at;
      EXPECT_EQ(r.out, "") << at;
      EXPECT_EQ(left, kUnasked) << at;
      EXPECT_EQ(demo_.DeviceInfo("alpha"), "kept\n") << at;
      EXPECT_EQ(e2e::ReadFile(demo_.dir() + "/fabric.state"), state_) << at;
      continue;
    }
    EXPECT_EQ(r.status, 0) << at << ": " << r.err;
    // A step that ran out costs its node or line, nothing else: an unasked
    // node stays only when its own removal ran out.
    const bool ran_out = r.err.find("No more memory") != std::string::npos;
    for (const std::string& name : left) {
      EXPECT_TRUE(
          std::count(nodes.begin(), nodes.end(), name) == 1 ||
          (ran_out && std::count(kUnasked.begin(), kUnasked.end(), name) == 1))
          << at << ": " << name;
    }
    const std::string now = demo_.DeviceInfo("alpha");
    EXPECT_TRUE(now == "kept\n" || SomeLinesOf(now, info)) << at << ": " << now;
  }
  EXPECT_GT(exits, 0);
  printf("qv_cspec -i -r: %ld allocation points, %ld before the probe\n",
         points, exits);
}

}  // namespace
