#include "platform/ot/rsclient.h"

#include <gtest/gtest.h>

#include "platform/ot/ot_test_util.h"

namespace ot {
namespace {

TEST(RsClientTest, NodeNamesThatCanNameAMachine) {
  struct Case {
    const char* node;
    bool valid;
  } cases[] = {
      {"alpha", true}, {"node-1.example_x", true},
      {"", false},     {".", false},
      {"..", false},   {"a/b", false},
      {"a b", false},  {"a;b", false},
      {"$x", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ValidNodeName(c.node), c.valid) << "\"" << c.node << "\"";
}

TEST(RsClientTest, MachinesAreFoundByDirectoryThenByNodeName) {
  ScopedMachine cluster;
  cluster.Write("/m1/etc/nodename", "alpha\n");
  cluster.Write("/m2/etc/nodename", "beta\nsecond line\n");
  cluster.Write("/beta/etc/nodename", "gamma\n");  // directory name wins
  cluster.Write("/fabric", "bus b0\n");
  struct Case {
    const char* node;
    const char* dir;  // nullptr: unknown
  } cases[] = {
      {"m1", "/m1"},      {"alpha", "/m1"},         {"beta", "/beta"},
      {"gamma", "/beta"}, {"delta", nullptr},       {"fabric", nullptr},
      {"..", nullptr},    {"second line", nullptr},
  };
  for (const Case& c : cases) {
    std::string root, err;
    bool found = FindMachine(cluster.root(), c.node, &root, &err);
    EXPECT_EQ(found, c.dir != nullptr) << c.node;
    if (c.dir)
      EXPECT_EQ(root, cluster.root() + c.dir) << c.node;
    else
      EXPECT_EQ(err, std::string("unknown node ") + c.node);
  }
}

}  // namespace
}  // namespace ot
