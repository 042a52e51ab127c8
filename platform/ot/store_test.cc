// The object store: what reads back, updates taken whole or not at all, and
// readers and writers in several processes at once.

#include "platform/ot/store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "tests/e2e_util.h"

namespace ot {
namespace {

class StoreTest : public ::testing::Test {
 protected:
  Pairs Load(const std::string& alias) {
    Pairs pairs;
    std::string err;
    EXPECT_EQ(LoadObject(alias, &pairs, &err), Status::kOk) << err;
    return pairs;
  }
  Status Update(const std::string& alias, const Pairs& updates) {
    std::string err;
    return UpdateObject(alias, updates, &err);
  }
  std::string File(const std::string& alias) const {
    return e2e::ReadFile(machine_.Under("/var/sadm/ot/objects/" + alias));
  }
  e2e::ScopedMachineRoot machine_;
};

TEST_F(StoreTest, PairsThatReadBackAsTheyWereStored) {
  const struct {
    Pair pair;
    bool valid;
  } cases[] = {
      {{"k", ""}, true},
      {{std::string(31, 'k'), std::string(511, 'v')}, true},
      {{"multi", "line one\nline two"}, true},
      {{"", "v"}, false},
      {{std::string(32, 'k'), "v"}, false},
      {{"k", std::string(512, 'v')}, false},
      {{"a b", "v"}, false},
      {{"a=b", "v"}, false},
      {{"#k", "v"}, false},
      {{"k", "say \"hi\""}, false},
  };
  for (const auto& c : cases) {
    std::string err;
    EXPECT_EQ(ValidPair(c.pair, &err), c.valid) << c.pair.keyword;
    if (!c.valid) continue;
    // What ValidPair lets through must come back unchanged.
    ASSERT_EQ(StoreObject("obj", {c.pair}, &err), Status::kOk) << err;
    EXPECT_EQ(Load("obj"), Pairs{c.pair}) << c.pair.keyword;
  }
}

TEST_F(StoreTest, UpdatesReplaceInPlaceOrChangeNothing) {
  ASSERT_EQ(Update("disk1", {{"a", "1"}, {"b", "2"}, {"c", "3"}}), Status::kOk);
  ASSERT_EQ(Update("disk1", {{"b", "two"}, {"d", "4"}}), Status::kOk);
  const std::string stored = "a=\"1\"\nb=\"two\"\nc=\"3\"\nd=\"4\"\n";
  EXPECT_EQ(File("disk1"), stored);
  // One bad pair refuses the whole update.
  EXPECT_EQ(Update("disk1", {{"e", "5"}, {"alias", "other"}}), Status::kInvalid);
  EXPECT_EQ(Update("disk1", {{"e", "5"}, {"c", "\""}}), Status::kInvalid);
  EXPECT_EQ(Update("bad/alias", {{"e", "5"}}), Status::kInvalid);
  EXPECT_EQ(File("disk1"), stored);
  // A broken object is reported by its unmapped path, never replaced.
  e2e::WriteFile(machine_.Under("/var/sadm/ot/objects/broken"), "o=\"pen\n");
  Pairs pairs;
  std::string err;
  EXPECT_EQ(LoadObject("broken", &pairs, &err), Status::kFailed);
  EXPECT_NE(err.find("/var/sadm/ot/objects/broken"), std::string::npos) << err;
  EXPECT_EQ(err.find(machine_.path()), std::string::npos) << err;
  EXPECT_EQ(Update("broken", {{"a", "1"}}), Status::kFailed);
  EXPECT_EQ(File("broken"), "o=\"pen\n");
}

// A reader must see either the old object or the new one: every version
// written here has all its pairs carry the same version number, and the
// versions alternate between a short and a long object.
TEST_F(StoreTest, ReadersNeverSeeHalfAnObject) {
  auto version = [](int v) {
    Pairs pairs;
    for (int i = 0; i < (v % 2 ? 200 : 3); ++i)
      pairs.push_back({"k" + std::to_string(i), "v" + std::to_string(v)});
    return pairs;
  };
  std::string err;
  ASSERT_EQ(StoreObject("obj", version(0), &err), Status::kOk);
  pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    for (int v = 1;; ++v)
      if (StoreObject("obj", version(v), &err) != Status::kOk) _exit(1);
  }
  struct Reaper {  // stops the writer however the test ends
    pid_t pid;
    ~Reaper() {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  } reaper{writer};
  // Read until the object has changed under the reader many times, so that
  // the check really ran against a busy writer.  On a loaded machine the
  // writer may get little time: the bound is a deadline, not a read count.
  int changes = 0;
  std::string last;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (changes < 50 && std::chrono::steady_clock::now() < deadline) {
    Pairs pairs = Load("obj");
    ASSERT_TRUE(pairs.size() == 3 || pairs.size() == 200) << pairs.size();
    for (const Pair& p : pairs) ASSERT_EQ(p.value, pairs[0].value);
    changes += pairs[0].value != last;
    last = pairs[0].value;
  }
  EXPECT_GE(changes, 50);
}

TEST_F(StoreTest, ConcurrentUpdatesKeepEveryPair) {
  constexpr int kWriters = 4, kPuts = 25;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int i = 0; i < kPuts; ++i) {
        std::string err;
        std::string key = "w" + std::to_string(w) + "_" + std::to_string(i);
        if (UpdateObject("shared", {{key, "x"}}, &err) != Status::kOk) _exit(1);
      }
      _exit(0);
    }
  }
  for (int w = 0; w < kWriters; ++w) {
    int status = 0;
    wait(&status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(Load("shared").size(), static_cast<size_t>(kWriters * kPuts));
  // No temporary file is left behind.
  EXPECT_EQ(e2e::ListDir(machine_.Under("/var/sadm/ot/objects")),
            std::vector<std::string>{"shared"});
}

}  // namespace
}  // namespace ot
