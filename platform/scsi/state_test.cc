// fabric.state under its lock: a corrupt file is reported with its line and
// never overwritten, and writers in several processes lose no area.

#include "platform/scsi/state.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/scsi/scsi_test_util.h"

namespace scsi {
namespace {

class StateTest : public testing::Test {
 protected:
  TestCluster cluster_{""};
  StateFile state_{cluster_.dir() + "/fabric.state"};
};

TEST_F(StateTest, CorruptStateIsReportedAndNeverOverwritten) {
  const std::string text = "# ok\nnodeA 0.0.0 nothex\n";
  e2e::WriteFile(state_.path(), text);
  AreaMap areas;
  std::string message;
  errno = 0;
  EXPECT_FALSE(state_.Read(&areas, &message));
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(message.rfind(state_.path() + ":2: ", 0), 0u) << message;
  EXPECT_FALSE(state_.Write("nodeB 0.0.0", VendorArea{}, &message));
  EXPECT_EQ(e2e::ReadFile(state_.path()), text);
}

// The lock makes each read-change-write whole, so no area is lost, and the
// file is replaced whole, so no temporary is left beside it.
TEST_F(StateTest, ConcurrentWritersLoseNothing) {
  constexpr int kWriters = 4, kAreasEach = 24;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      StateFile mine(state_.path());
      std::string message, m = "m" + std::to_string(w);
      bool ok = true;
      for (int i = 0; i < kAreasEach; ++i) {
        Port p{i / 32, (i / 4) % 8, i % 4};
        ok = ok && mine.Write(AreaKey(m, p), MakeArea(p, m), &message);
      }
      _exit(ok ? 0 : 1);
    }
  }
  for (int w = 0; w < kWriters; ++w) {
    int status = 0;
    wait(&status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  AreaMap areas;
  std::string message;
  ASSERT_TRUE(state_.Read(&areas, &message)) << message;
  EXPECT_EQ(areas.size(), static_cast<size_t>(kWriters * kAreasEach));
  EXPECT_EQ(areas[AreaKey("m3", {0, 1, 2})], MakeArea({0, 1, 2}, "m3"));
  EXPECT_EQ(e2e::ListDir(cluster_.dir()),
            (std::vector<std::string>{"fabric", "fabric.state",
                                      "fabric.state.lock"}));
}

}  // namespace
}  // namespace scsi
