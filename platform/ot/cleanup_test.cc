#include "platform/ot/cleanup.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/ot/ot.h"
#include "platform/ot/ot_test_util.h"

namespace ot {
namespace {

// A cleanup entry as callers build it: a 16-bit kind, then the path.
std::vector<char> Entry(const std::string& path, uint16_t kind = 0,
                        size_t offset = 0) {
  std::vector<char> buf(offset + sizeof kind + path.size() + 1);
  memcpy(buf.data() + offset, &kind, sizeof kind);
  memcpy(buf.data() + offset + sizeof kind, path.c_str(), path.size() + 1);
  return buf;
}

class CleanupTest : public ::testing::Test {
 protected:
  void TearDown() override { RunCleanup(); }
  bool Exists(const std::string& path) {
    return access(machine_.Host(path).c_str(), F_OK) == 0;
  }
  ScopedMachine machine_;
};

TEST_F(CleanupTest, ListedFilesAreRemovedWhenTheProcessExits) {
  for (const char* p : {"/tmp/ZU_queryA", "/tmp/ZU_paramB", "/tmp/ZU_keepC"})
    machine_.Write(p, "x");
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    bool ok = OTcleanup(Entry("/tmp/ZU_queryA").data(), OT_CLEANUP_ADD) == 0 &&
              OTcleanup(Entry("/tmp/ZU_paramB").data(), OT_CLEANUP_ADD) == 0 &&
              OTcleanup(Entry("/tmp/ZU_keepC").data(), OT_CLEANUP_ADD) == 0 &&
              OTcleanup(Entry("/tmp/ZU_keepC").data(), OT_CLEANUP_REMOVE) == 0;
    exit(ok ? 0 : 3);  // exit(), not _exit(): the handler must run
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(Exists("/tmp/ZU_queryA"));
  EXPECT_FALSE(Exists("/tmp/ZU_paramB"));
  EXPECT_TRUE(Exists("/tmp/ZU_keepC"));
}

TEST_F(CleanupTest, EntriesAndOperationsThatAreRefused) {
  struct Case {
    std::vector<char> entry;
    int operation;
    int result;
    const char* what;
  } cases[] = {
      {Entry("/tmp/a", 1), OT_CLEANUP_ADD, -1, "kind 1"},
      {Entry(""), OT_CLEANUP_ADD, -1, "empty path"},
      {Entry("/tmp/a"), 2, -1, "operation 2"},
      {Entry("/tmp/never"), OT_CLEANUP_REMOVE, 1, "remove unlisted"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(OTcleanup(c.entry.data(), c.operation), c.result) << c.what;
  EXPECT_EQ(OTcleanup(nullptr, OT_CLEANUP_ADD), -1);
  EXPECT_EQ(CleanupCount(), 0u);
}

TEST_F(CleanupTest, EachAdditionNeedsItsOwnRemoval) {
  // An entry in the middle of a buffer need not be aligned for its kind.
  std::vector<char> entry = Entry("/tmp/twice", 0, 1);
  const void* at = entry.data() + 1;
  EXPECT_EQ(OTcleanup(at, OT_CLEANUP_ADD), 0);
  EXPECT_EQ(OTcleanup(at, OT_CLEANUP_ADD), 0);
  EXPECT_EQ(OTcleanup(at, OT_CLEANUP_REMOVE), 0);
  EXPECT_EQ(CleanupCount(), 1u);
  EXPECT_EQ(OTcleanup(at, OT_CLEANUP_REMOVE), 0);
  EXPECT_EQ(OTcleanup(at, OT_CLEANUP_REMOVE), 1);
}

TEST_F(CleanupTest, RemovesTheFileOfTheRootItWasAddedUnder) {
  machine_.Write("/tmp/ZU_moved", "x");
  ASSERT_EQ(OTcleanup(Entry("/tmp/ZU_moved").data(), OT_CLEANUP_ADD), 0);
  ScopedMachine other;  // RUDED_ROOT now names another machine
  other.Write("/tmp/ZU_moved", "y");
  EXPECT_EQ(RunCleanup(), 1);
  EXPECT_FALSE(Exists("/tmp/ZU_moved"));
  EXPECT_EQ(other.Read("/tmp/ZU_moved"), "y");
}

}  // namespace
}  // namespace ot
