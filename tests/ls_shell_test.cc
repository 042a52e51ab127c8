// Words that would change the meaning of a shell line never reach a shell:
// each is refused with a log entry, RSClient does not run, and the command
// smuggled into the word (creating a marker file) does not run either.

#include <string>
#include <vector>

#include "tests/ls_cluster.h"

namespace ls_e2e {
namespace {

class LsShellTest : public ClusterTest {
 protected:
  // Runs args on alpha with "@" in each word replaced by payload, and
  // expects the refusal.
  void ExpectRefused(std::vector<std::string> args, const std::string& payload,
                     const std::map<std::string, std::string>& env = {}) {
    std::string shown;
    for (std::string& a : args) {
      if (size_t at = a.find('@'); at != std::string::npos) a.replace(at, 1, payload);
      shown += a + " ";
    }
    ClearLogs();
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
};

TEST_F(LsShellTest, AliasesAndNamesThatWouldChangeTheLineAreRefused) {
  const std::string m = Marker();
  const std::vector<std::string> payloads = {
      "disk1;touch " + m, "disk1 " + m,  "disk1\";touch " + m + ";\"",
      "$(touch " + m + ")", "`touch " + m + "`", "x>" + m,
      "x|touch " + m,      "x&&touch " + m, "x\ntouch " + m,
  };
  const std::vector<std::vector<std::string>> operations = {
      {"attr", "beta:@", "size"},        {"attr", "beta:disk1", "@"},
      {"meth", "beta:@", "do_show"},     {"meth", "beta:disk1", "@"},
      {"attrs", "beta:@"},               {"meths", "beta:@"},
      {"obj", "beta:@"},                 {"next", "@", "beta:disk1"},
      {"next", "all", "beta:@"},         {"put", "beta:@", "a=1"},
      {"perform", "beta:@", "do_show"},  {"perform", "beta:disk1", "@"},
  };
  for (const std::string& payload : payloads)
    for (const auto& op : operations) ExpectRefused(op, payload);
}

// Registered node names are checked like every other word (the robustness
// tests try each character); so is the device table the far side is given.
TEST_F(LsShellTest, DeviceTablesAreCheckedToo) {
  for (const std::string& devtab :
       std::vector<std::string>{"/x;touch " + Marker(), "/x y", "/x\"y"}) {
    ExpectRefused({"attrs", "beta:@"}, "disk1", {{"OAM_DEVTAB", devtab}});
    ExpectRefused({"aliases", "Containment=beta"}, "", {{"OAM_DEVTAB", devtab}});
    ExpectRefused({"perform", "beta:@", "do_show"}, "disk1", {{"OAM_DEVTAB", devtab}});
  }
}

}  // namespace
}  // namespace ls_e2e
