#include "platform/ot/store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ot/ot_test_util.h"

namespace ot {
namespace {

// Kills and reaps a forked child however the test ends.
struct ChildGuard {
  explicit ChildGuard(pid_t p) : pid(p) {}
  ~ChildGuard() {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  ChildGuard(const ChildGuard&) = delete;
  ChildGuard& operator=(const ChildGuard&) = delete;
  pid_t pid;
};

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
  ScopedMachine machine_;
};

TEST_F(StoreTest, AliasesTheStoreCanName) {
  struct Case {
    std::string alias;
    bool valid;
  } cases[] = {
      {"disk1", true},    {"a:b", true},
      {"System", true},   {std::string(255, 'a'), true},
      {"", false},        {std::string(256, 'a'), false},
      {"a/b", false},     {"..", false},
      {".hidden", false}, {"with blank", false},
      {"tab\tin", false}, {"del\x7f", false},
  };
  for (const Case& c : cases) {
    std::string err;
    EXPECT_EQ(ValidAlias(c.alias, &err), c.valid) << "\"" << c.alias << "\"";
    EXPECT_EQ(err.empty(), c.valid) << c.alias;
  }
}

TEST_F(StoreTest, PairsThatReadBackAsTheyWereStored) {
  struct Case {
    Pair pair;
    bool valid;
  } cases[] = {
      {{"size", "12"}, true},
      {{"k", ""}, true},
      {{std::string(31, 'k'), std::string(511, 'v')}, true},
      {{"multi", "line one\nline two"}, true},
      {{"", "v"}, false},
      {{std::string(32, 'k'), "v"}, false},
      {{"k", std::string(512, 'v')}, false},
      {{"a b", "v"}, false},
      {{"a=b", "v"}, false},
      {{"a\"b", "v"}, false},
      {{"#k", "v"}, false},
      {{"k", "say \"hi\""}, false},
  };
  for (const Case& c : cases) {
    std::string err;
    EXPECT_EQ(ValidPair(c.pair, &err), c.valid) << c.pair.keyword;
    if (!c.valid) continue;
    // What ValidPair lets through must come back unchanged.
    ASSERT_EQ(StoreObject("obj", {c.pair}, &err), Status::kOk) << err;
    EXPECT_EQ(Load("obj"), Pairs{c.pair}) << c.pair.keyword;
  }
}

TEST_F(StoreTest, UpdateReplacesInPlaceAndAppendsNewKeywords) {
  ASSERT_EQ(Update("disk1", {{"a", "1"}, {"b", "2"}, {"c", "3"}}), Status::kOk);
  ASSERT_EQ(Update("disk1", {{"b", "two"}, {"d", "4"}}), Status::kOk);
  EXPECT_EQ(Load("disk1"),
            (Pairs{{"a", "1"}, {"b", "two"}, {"c", "3"}, {"d", "4"}}));
  EXPECT_EQ(machine_.Read("/var/sadm/ot/objects/disk1"),
            "a=\"1\"\nb=\"two\"\nc=\"3\"\nd=\"4\"\n");
}

TEST_F(StoreTest, ABadPairRefusesTheWholeUpdate) {
  ASSERT_EQ(Update("disk1", {{"a", "1"}}), Status::kOk);
  EXPECT_EQ(Update("disk1", {{"b", "2"}, {"alias", "other"}}),
            Status::kInvalid);
  EXPECT_EQ(Update("disk1", {{"b", "2"}, {"c", "\""}}), Status::kInvalid);
  EXPECT_EQ(Update("bad/alias", {{"b", "2"}}), Status::kInvalid);
  EXPECT_EQ(Load("disk1"), (Pairs{{"a", "1"}}));
  EXPECT_EQ(Update("empty", {}), Status::kOk);
  Pairs none;
  std::string err;
  EXPECT_EQ(LoadObject("empty", &none, &err), Status::kAbsent);
}

TEST_F(StoreTest, ReadingFailuresNameTheUnmappedPath) {
  Pairs pairs;
  std::string err;
  EXPECT_EQ(LoadObject("nothing", &pairs, &err), Status::kAbsent);
  machine_.Write("/var/sadm/ot/objects/broken", "open=\"quote\n");
  EXPECT_EQ(LoadObject("broken", &pairs, &err), Status::kFailed);
  EXPECT_NE(err.find("/var/sadm/ot/objects/broken"), std::string::npos) << err;
  EXPECT_EQ(err.find(machine_.root()), std::string::npos) << err;
  // A broken object is not silently replaced by an update.
  EXPECT_EQ(Update("broken", {{"a", "1"}}), Status::kFailed);
  EXPECT_EQ(machine_.Read("/var/sadm/ot/objects/broken"), "open=\"quote\n");
}

TEST_F(StoreTest, ListingSkipsTemporariesAndDirectoriesInByteOrder) {
  ASSERT_EQ(Update("zeta", {{"a", "1"}}), Status::kOk);
  ASSERT_EQ(Update("Alpha", {{"a", "1"}}), Status::kOk);
  ASSERT_EQ(Update("beta", {{"a", "1"}}), Status::kOk);
  machine_.Write("/var/sadm/ot/objects/.put.abc123", "a=\"1\"\n");
  std::filesystem::create_directory(machine_.Host("/var/sadm/ot/objects/dir"));
  std::vector<std::string> aliases;
  std::string err;
  ASSERT_EQ(ListAliases(&aliases, &err), Status::kOk);
  EXPECT_EQ(aliases, (std::vector<std::string>{"Alpha", "beta", "zeta"}));
}

TEST_F(StoreTest, AnEmptyMachineHasNoObjects) {
  std::vector<std::string> aliases;
  std::string err;
  EXPECT_EQ(ListAliases(&aliases, &err), Status::kOk);
  EXPECT_TRUE(aliases.empty());
}

// A reader must see either the old object or the new one: every version
// written here has all its pairs carry the same version number, and the
// versions alternate between a short and a long object.
TEST_F(StoreTest, ReadersNeverSeeHalfAnObject) {
  auto version = [](int v) {
    Pairs pairs;
    int n = v % 2 ? 200 : 3;
    for (int i = 0; i < n; ++i)
      pairs.push_back({"k" + std::to_string(i), "v" + std::to_string(v)});
    return pairs;
  };
  std::string err;
  ASSERT_EQ(StoreObject("obj", version(0), &err), Status::kOk);
  pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    for (int v = 1;; ++v) {
      std::string e;
      if (StoreObject("obj", version(v), &e) != Status::kOk) _exit(1);
    }
  }
  ChildGuard guard(writer);
  // Read until the object has changed under the reader many times, so that
  // the check really ran against a busy writer.
  int changes = 0;
  std::string last;
  for (int reads = 0; reads < 20000 && changes < 50; ++reads) {
    Pairs pairs;
    std::string e;
    ASSERT_EQ(LoadObject("obj", &pairs, &e), Status::kOk) << e;
    ASSERT_TRUE(pairs.size() == 3 || pairs.size() == 200) << pairs.size();
    for (const Pair& p : pairs) ASSERT_EQ(p.value, pairs[0].value);
    if (pairs[0].value != last) ++changes;
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
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(
           machine_.Host("/var/sadm/ot/objects")))
    names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"shared"});
}

}  // namespace
}  // namespace ot
