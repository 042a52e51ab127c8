// qv_cspec out of storage while it scans cspecials: the staged command runs
// once per allocation of the scan, with that allocation failing (through
// the preloaded robust_failmalloc.so), and must say "No more memory", end
// with status 1 and leave the directory, device_info and the machine as
// they were.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

using e2e::Dev;
using e2e::kCspecials;
using e2e::kDeviceInfo;
using e2e::kHostadp;
using e2e::NodeDev;

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

class RobustCspecAllocTest : public testing::Test {
 protected:
  void SetUp() override {
    // The preloaded allocator would bypass AddressSanitizer's.
    if (Sanitized()) GTEST_SKIP() << "no preloaded malloc in a sanitizer build";
    root_ = tmp_.path() + "/nodeA";
    e2e::MakeBareMachine(root_, "nodeA", "SCSI a b c d 35\n");
    for (const auto& [name, dev] : nodes_)
      e2e::MakeNode(cspecials(name), dev);
    e2e::WriteFile(root_ + kDeviceInfo, "kept\n");
  }

  std::string cspecials(const std::string& name) const {
    return root_ + kCspecials + "/" + name;
  }

  // Runs qv_cspec with allocation fail_at (none when negative) of the scan
  // failing; *count receives the allocations of the scan and whether the
  // failure happened, as the preloaded library reports them.
  e2e::RunResult Run(const std::vector<std::string>& args, long fail_at,
                     std::string* count) {
    const std::string count_file = tmp_.path() + "/count";
    unlink(count_file.c_str());
    std::vector<std::string> argv = {e2e::Staged("sbin/qv_cspec")};
    argv.insert(argv.end(), args.begin(), args.end());
    e2e::RunOptions options;
    const char* preloaded = getenv("LD_PRELOAD");  // fakeroot's, say
    options.env = {
        {"RUDED_ROOT", root_},
        {"LD_PRELOAD", std::string(ROBUST_FAILMALLOC) +
                           (preloaded ? std::string(":") + preloaded : "")},
        {"ROBUST_ALLOC_DIR", "/cspecials"},
        {"ROBUST_ALLOC_COUNT", count_file}};
    if (fail_at >= 0)
      options.env["ROBUST_ALLOC_FAIL"] = std::to_string(fail_at);
    e2e::RunResult r = e2e::Run(argv, options);
    *count = e2e::ReadFile(count_file);
    return r;
  }

  void ExpectUntouched(const std::string& at) {
    std::vector<std::string> names;
    for (const auto& [name, dev] : nodes_) {
      names.push_back(name);
      EXPECT_EQ(NodeDev(cspecials(name)), dev) << at << ": " << name;
    }
    EXPECT_EQ(e2e::ListDir(root_ + kCspecials), names) << at;
    EXPECT_EQ(e2e::ReadFile(root_ + kDeviceInfo), "kept\n") << at;
    EXPECT_EQ(e2e::TmpNodes(root_ + kHostadp), std::vector<std::string>{})
        << at;
  }

  e2e::ScopedTempDir tmp_;
  std::string root_;
  // Sorted by name, as ListDir gives them.  Without hardware every one of
  // them would be removed by a run that got past the scan with -i or -r.
  const std::map<std::string, uint32_t> nodes_ = {
      {"c0", Dev(35, 0, 0, 0, 7)},
      {"c10", Dev(35, 0, 1, 0, 7)},
      {"r0_a-machine-with-a-long-name", Dev(35, 0, 0, 0, 6)},
  };
};

TEST_F(RobustCspecAllocTest, ScanOutOfStorageEndsWithNoMoreMemory) {
  // A report run goes through the scan and changes nothing.
  std::string count;
  e2e::RunResult r = Run({}, -1, &count);
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectUntouched("counting run");
  const long points = atol(count.c_str());
  ASSERT_GT(points, static_cast<long>(nodes_.size())) << count;
  EXPECT_EQ(count, std::to_string(points) + " 0\n");

  for (long n = 0; n < points; ++n) {
    const std::string at = "allocation " + std::to_string(n);
    r = Run({"-i", "-r"}, n, &count);
    EXPECT_EQ(count.substr(count.find(' ')), " 1\n") << at;
    EXPECT_EQ(r.status, 1) << at;
    EXPECT_EQ(r.err, "qv_cspec: No more memory\n") << at;
    EXPECT_EQ(r.out, "") << at;
    ExpectUntouched(at);
  }
  printf("qv_cspec scan: %ld allocation points\n", points);

  // One past the last one: the scan gets through, and the run goes on to
  // remove the nodes that no hardware asks for.
  r = Run({"-i", "-r"}, points, &count);
  EXPECT_EQ(count, std::to_string(points) + " 0\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(e2e::ListDir(root_ + kCspecials), std::vector<std::string>{});
  EXPECT_EQ(e2e::ReadFile(root_ + kDeviceInfo), "");
}

}  // namespace
