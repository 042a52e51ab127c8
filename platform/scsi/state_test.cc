#include "platform/scsi/state.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/scsi/scsi_test_util.h"

namespace scsi {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class StateTest : public testing::Test {
 protected:
  StateTest() : cluster_(""), state_(cluster_.dir() + "/fabric.state") {}
  TestCluster cluster_;
  StateFile state_;
};

TEST_F(StateTest, ParsesAreasAndRefusesBadLines) {
  AreaMap areas;
  ParseError error;
  ASSERT_TRUE(ParseState(
      "# comment\n\nnodeA 0.1.0 fe04006e6f6465" + std::string(26, '0') +
          "\nnodeB 7.7.3 FF" + std::string(38, '0'),
      &areas, &error))
      << error.message;
  ASSERT_EQ(areas.size(), 2u);
  EXPECT_EQ(areas.at("nodeA 0.1.0")[1], 0x04);
  EXPECT_EQ(areas.at("nodeA 0.1.0")[3], 'n');
  EXPECT_EQ(areas.at("nodeB 7.7.3")[0], 0xFF);

  const std::string hex(40, '0');
  struct Bad {
    std::string text;
    int line;
  } bad[] = {
      {"a 0.0.0 " + hex + " extra", 1},
      {"a 0.0.0", 1},
      {"# x\na 8.0.0 " + hex, 2},
      {"a 0.0.4 " + hex, 1},
      {"a 0.0 " + hex, 1},
      {"a 0.0.0 " + hex.substr(1), 1},
      {"a 0.0.0 " + hex.substr(2) + "zz", 1},
      {"a 0.0.0 " + hex + "\nb 0.0.0 " + hex + "\na 0.0.0 " + hex, 3},
  };
  for (const Bad& b : bad) {
    AreaMap a;
    EXPECT_FALSE(ParseState(b.text, &a, &error)) << b.text;
    EXPECT_EQ(error.line, b.line) << b.text;
  }
}

TEST_F(StateTest, WritesKeepOtherAreasAndSurviveAReread) {
  AreaMap areas;
  std::string message;
  ASSERT_TRUE(state_.Read(&areas, &message)) << message;
  EXPECT_TRUE(areas.empty()) << "no file yet: no area";

  VendorArea a = MakeArea({0, 1, 0}, "nodeA");
  VendorArea b = MakeArea({1, 0, 0}, "nodeB");
  ASSERT_TRUE(state_.Write(AreaKey("nodeA", {0, 1, 0}), a, &message));
  ASSERT_TRUE(state_.Write(AreaKey("nodeB", {1, 0, 0}), b, &message));
  b[3] = 'N';
  ASSERT_TRUE(state_.Write(AreaKey("nodeB", {1, 0, 0}), b, &message));

  StateFile again(state_.path());
  AreaMap read;
  ASSERT_TRUE(again.Read(&read, &message)) << message;
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read.at("nodeA 0.1.0"), a);
  EXPECT_EQ(read.at("nodeB 1.0.0"), b);
  EXPECT_EQ(Slurp(state_.path()), FormatState(read));
  // Nothing but the state and its lock file is left beside the fabric.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(cluster_.dir()))
    names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"fabric", "fabric.state",
                                             "fabric.state.lock"}));
}

TEST_F(StateTest, CorruptStateIsReportedAndNeverOverwritten) {
  const std::string corrupt = "nodeA 0.0.0 nothex\n";
  std::ofstream(state_.path()) << "# ok\n" << corrupt;
  AreaMap areas;
  std::string message;
  errno = 0;
  EXPECT_FALSE(state_.Read(&areas, &message));
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(message.rfind(state_.path() + ":2: ", 0), 0u) << message;
  EXPECT_FALSE(state_.Write("nodeB 0.0.0", VendorArea{}, &message));
  EXPECT_EQ(Slurp(state_.path()), "# ok\n" + corrupt);
}

TEST_F(StateTest, WriteFailsCleanlyWhereNoFileCanBeMade) {
  StateFile nowhere(cluster_.dir() + "/missing/fabric.state");
  std::string message;
  errno = 0;
  EXPECT_FALSE(nowhere.Write("a 0.0.0", VendorArea{}, &message));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_NE(message.find("missing/fabric.state.lock"), std::string::npos)
      << message;
}

// Writers in several processes at once: the lock makes each
// read-change-write whole, so no area is lost.
TEST_F(StateTest, ConcurrentWritersLoseNothing) {
  constexpr int kWriters = 4, kAreasEach = 24;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      StateFile mine(state_.path());
      std::string message;
      bool ok = true;
      for (int i = 0; i < kAreasEach; ++i) {
        Port p{i / 32, (i / 4) % 8, i % 4};
        ok = ok && mine.Write(AreaKey("m" + std::to_string(w), p),
                              MakeArea(p, "m" + std::to_string(w)), &message);
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  AreaMap areas;
  std::string message;
  ASSERT_TRUE(state_.Read(&areas, &message)) << message;
  EXPECT_EQ(areas.size(), static_cast<size_t>(kWriters * kAreasEach));
}

}  // namespace
}  // namespace scsi
