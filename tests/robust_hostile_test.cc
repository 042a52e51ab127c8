// A fabric file that turns bad under a running cluster: qv_cspec says so
// once, finds no hardware and still ends well.  (The readers' edge cases,
// 100 KB lines, NUL bytes, no final newline, are rows of their unit
// tables: xlist, mdevice, the fabric parser.)

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

TEST(RobustHostileTest, FabricGoneBadLeavesTheMachineWithoutHardware) {
  e2e::ScopedTempDir tmp;
  e2e::Cluster cluster(tmp.path() + "/cluster");
  const std::string fabric =
      "bus shared\n"
      "  adapter nodeA 0 0 0 7\n"
      "  adapter nodeB 0 0 0 6 stamp=c0:nodeB\n"
      "  disk 3 SEAGATE ST1 0001 serial=three\n";
  e2e::RunResult r = cluster.Create(fabric);
  ASSERT_EQ(r.status, 0) << r.err;
  const struct {
    const char* name;
    std::string text;
    std::string cause;  // what the complaint ends with
  } bad[] = {
      {"100 KB word",
       fabric + "  disk 8 A B C serial=" + std::string(100 * 1024, 'x'),
       ":5: serial: longer than 237 characters\n"},
      {"NUL byte", std::string("bus b\n  adapter nodeA 0 0 0 7\0\n", 31),
       ":2: NUL byte in line\n"},
  };
  for (const auto& c : bad) {
    e2e::WriteFile(cluster.dir() + "/fabric", c.text);
    r = cluster.Cspec("nodeA", {"-i", "-r"});
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(e2e::Lines(r.err).size(), 1u) << c.name;
    EXPECT_TRUE(r.err.size() >= c.cause.size() &&
                r.err.compare(r.err.size() - c.cause.size(), c.cause.size(),
                              c.cause) == 0)
        << c.name << ": " << r.err.substr(0, 200);
    EXPECT_EQ(cluster.DeviceInfo("nodeA"), "") << c.name;
    EXPECT_EQ(e2e::ListDir(cluster.Cspecials("nodeA")),
              std::vector<std::string>{})
        << c.name;
  }
}

}  // namespace
