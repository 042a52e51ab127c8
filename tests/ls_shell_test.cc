// Every word that reaches a shell line goes through the word check (whose
// rule is tested byte by byte in ls/shell_line_test.cc): a word that would
// change the line is refused with a log entry, RSClient does not run, and
// the command smuggled into it (creating a marker file) does not either.

#include <string>
#include <vector>

#include "tests/ls_cluster.h"

namespace ls_e2e {
namespace {

class LsShellTest : public ClusterTest {};

TEST_F(LsShellTest, EveryWordOfEveryLineIsCheckedAndNothingRuns) {
  const std::string m = Marker();
  const std::string touch = ";touch " + m;
  const std::string registry = "MaXnAmEsErVrS=4\nname_servers=\"be;ta\"\nname_servers=beta\n";
  const struct {
    std::vector<std::string> args;  // "@" stands for the payload
    std::string payload;
    std::string devtab;    // OAM_DEVTAB; "" leaves it unset
    std::string registry;  // alpha's registry; "" keeps beta registered
  } cases[] = {
      {{"attr", "beta:@", "size"}, "disk1" + touch, "", ""},
      {{"attr", "beta:disk1", "@"}, "$(touch " + m + ")", "", ""},
      {{"meth", "beta:@", "do_show"}, "`touch " + m + "`", "", ""},
      {{"meth", "beta:disk1", "@"}, "x|touch " + m, "", ""},
      {{"attrs", "beta:@"}, "disk1 " + m, "", ""},
      {{"meths", "beta:@"}, "x>" + m, "", ""},
      {{"obj", "beta:@"}, "x&&touch " + m, "", ""},
      {{"next", "@", "beta:disk1"}, "x\ntouch " + m, "", ""},
      {{"next", "all", "beta:@"}, "disk1\";touch " + m + ";\"", "", ""},
      {{"put", "beta:@", "a=1"}, "disk1" + touch, "", ""},
      {{"perform", "beta:@", "do_show"}, "disk1" + touch, "", ""},
      {{"perform", "beta:disk1", "@"}, "x" + touch, "", ""},
      {{"attrs", "beta:disk1"}, "", "/x" + touch, ""},
      {{"aliases", "Containment=beta"}, "", "/x y", ""},
      {{"perform", "beta:disk1", "do_show"}, "", "/x\"y", ""},
      // A registered node name is a word too.
      {{"aliases", "Containment=be;ta"}, "", "", registry},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    std::string shown;
    for (std::string& a : args) {
      if (size_t at = a.find('@'); at != std::string::npos) a.replace(at, 1, c.payload);
      shown += a + " ";
    }
    Register("alpha", c.registry.empty() ? "MaXnAmEsErVrS=4\nname_servers=beta\n"
                                         : c.registry);
    ClearLogs();
    std::map<std::string, std::string> env;
    if (!c.devtab.empty()) env["OAM_DEVTAB"] = c.devtab;
    e2e::RunResult r = Call("alpha", args, env);
    EXPECT_EQ(r.status, 1) << shown;
    EXPECT_EQ(RsclientRuns(), 0) << shown;
    EXPECT_FALSE(e2e::Exists(Marker())) << shown;
    std::vector<std::string> log = LogLines("alpha", "LOG ");
    ASSERT_FALSE(log.empty()) << shown;
    EXPECT_NE(log[0].find(" 799 3: "), std::string::npos) << log[0];
    // The refused word is logged as it stands, newlines included.
    const std::string text = e2e::ReadFile(Root("alpha") + "/var/adm/oam.log");
    EXPECT_NE(text.find("refused: not allowed in a command line"), std::string::npos)
        << text;
  }
}

}  // namespace
}  // namespace ls_e2e
