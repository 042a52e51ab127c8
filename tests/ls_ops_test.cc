// Every libls operation on this node and on a registered name server,
// through the real object-tool commands and RSClient.  The two machines
// hold objects of the same names with different values, so each answer
// shows which machine gave it.

#include <string>
#include <vector>

#include "tests/ls_cluster.h"

namespace ls_e2e {
namespace {

class LsOpsTest : public ClusterTest {
 protected:
  void SetUp() override {
    ClusterTest::SetUp();
    for (const std::string m : {"alpha", "beta"}) {
      const std::string size = m == "alpha" ? "10" : "20";
      Put(m, "disk1",
          "size=\"" + size + "\"\ntype=disk\ndo_show=\"echo where=" + m + "\"\n");
    }
    Put("alpha", "disk3", "type=disk\n");
    Put("beta", "disk2", "type=disk\nsize=30\n");
    ClearLogs();
  }

  // Runs args on alpha with "@" in each word replaced by node; checks the
  // status, the output and how many times RSClient ran.
  void Expect(const std::string& node, std::vector<std::string> args,
              const std::string& out, int runs) {
    std::string shown;
    for (std::string& a : args) {
      for (size_t at; (at = a.find('@')) != std::string::npos;) a.replace(at, 1, node);
      shown += a + " ";
    }
    const int before = RsclientRuns();
    e2e::RunResult r = Call("alpha", args);
    EXPECT_EQ(r.status, 0) << shown << r.err;
    EXPECT_EQ(r.out, out) << shown;
    EXPECT_EQ(RsclientRuns() - before, runs) << shown;
  }
};

struct OpCase {
  std::vector<std::string> args;
  std::string here;   // answer for node alpha
  std::string there;  // answer for node beta
};

TEST_F(LsOpsTest, QueriesHereAndThere) {
  const OpCase cases[] = {
      {{"attr", "@:disk1", "size"}, "size=\"10\"\n", "size=\"20\"\n"},
      {{"meth", "@:disk1", "do_show"},
       "do_show=\"echo where=alpha\"\n",
       "do_show=\"echo where=beta\"\n"},
      {{"attrs", "@:disk1"},
       "size=\"10\"\ntype=\"disk\"\n",
       "size=\"20\"\ntype=\"disk\"\n"},
      {{"meths", "@:disk1"},
       "do_show=\"echo where=alpha\"\n",
       "do_show=\"echo where=beta\"\n"},
      {{"obj", "@:disk1"},
       "alias disk1\nattribute size=\"10\"\nattribute type=\"disk\"\n"
       "method do_show=\"echo where=alpha\"\n",
       "alias disk1\nattribute size=\"20\"\nattribute type=\"disk\"\n"
       "method do_show=\"echo where=beta\"\n"},
      {{"next", "all", "@:disk1"}, "disk3\n", "disk2\n"},
      {{"next", "type=disk", "@:"}, "disk1\n", "disk1\n"},
      {{"next", "size=30", "@:"}, "NULL\n", "disk2\n"},
  };
  for (const OpCase& c : cases) {
    if (c.here != "NULL\n") Expect("alpha", c.args, c.here, 0);
    Expect("beta", c.args, c.there, 1);
  }
  // Without a node part the alias is this node's.
  Expect("", {"attr", "disk1", "size"}, "size=\"10\"\n", 0);
  Expect("", {"next", "all", "disk1"}, "disk3\n", 0);
  EXPECT_EQ(LogLines("alpha", "LOG "), std::vector<std::string>{});
  // The alias a remote next read is traced at level 7.
  Call("alpha", {"next", "all", "beta:disk1"}, {{"OAM_TRACE", "7"}});
  EXPECT_EQ(LogLines("alpha", "TRACE 7 LS.LSQuerynext: Alias disk2").size(), 1u);
}

TEST_F(LsOpsTest, BrowseHereAndThere) {
  Expect("alpha", {"aliases", "type=disk", "Containment=@"},
         "alpha:disk1\nalpha:disk3\n", 0);
  Expect("beta", {"aliases", "Containment=@", "type=disk"},
         "beta:disk1\nbeta:disk2\n", 1);
  Expect("beta", {"aliases", "Containment=@", "size=30"}, "beta:disk2\n", 1);
  // Without Containment the library answers here, with plain aliases.
  Expect("", {"aliases", "type=disk"}, "disk1\ndisk3\n", 0);
  Expect("", {"aliases", "-"}, "System\ndisk1\ndisk3\n", 0);
  EXPECT_EQ(LogLines("alpha", "LOG "), std::vector<std::string>{});
}

TEST_F(LsOpsTest, PutHereAndThere) {
  Expect("alpha", {"put", "@:disk1", "color=red"}, "result 0\n", 0);
  Expect("beta", {"put", "@:disk1", "color=blue", "size=21"}, "result 0\n", 1);
  Expect("", {"put", "disk9", "color=green"}, "result 0\n", 0);
  // Each put reached its own machine's object and no other.
  Expect("alpha", {"attrs", "@:disk1"}, "size=\"10\"\ntype=\"disk\"\ncolor=\"red\"\n", 0);
  Expect("beta", {"attrs", "@:disk1"}, "size=\"21\"\ntype=\"disk\"\ncolor=\"blue\"\n", 1);
  Expect("alpha", {"attrs", "@:disk9"}, "color=\"green\"\n", 0);
  EXPECT_EQ(Call("alpha", {"attrs", "beta:disk9"}).status, 1);
}

TEST_F(LsOpsTest, PerformHereAndThere) {
  Expect("alpha", {"perform", "@:disk1", "do_show"}, "where=\"alpha\"\n", 0);
  Expect("beta", {"perform", "@:disk1", "do_show"}, "where=\"beta\"\n", 1);
  // The System object's do_echo returns its parameters.
  for (const std::string node : {"alpha", "beta"}) {
    Expect(node, {"perform", "@:System", "do_echo", "a=1", "b=two words"},
           "a=\"1\"\nb=\"two words\"\n", node == "beta");
    Expect(node, {"perform", "@:System", "do_echo", "-"}, "", node == "beta");
    // A list whose cursor stands after its first items: the library here
    // takes the whole list; the parameter file holds only the rest.
    Expect(node, {"-s", "2", "perform", "@:System", "do_echo", "a=1", "b=2", "c=3"},
           node == "beta" ? "c=\"3\"\n" : "a=\"1\"\nb=\"2\"\nc=\"3\"\n",
           node == "beta");
  }
  Expect("beta", {"-s", "1", "put", "@:disk2", "a=1", "b=2"}, "result 0\n", 1);
  Expect("beta", {"attrs", "@:disk2"}, "type=\"disk\"\nsize=\"30\"\nb=\"2\"\n", 1);
}

}  // namespace
}  // namespace ls_e2e
