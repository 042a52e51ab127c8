// The object-tool commands, OTinit and RSClient run as real processes on
// the machines alpha and beta of a simulated cluster.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

using e2e::RunResult;

class OtClusterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("OAM_TRACE");  // OTinit's traces would land in the logs
    RunResult r = cluster_.Create(
        "bus s\n  adapter alpha 0 0 0 7\n  adapter beta 0 0 0 6\n");
    ASSERT_EQ(r.status, 0) << r.err;
  }
  std::string Root(const std::string& m) const { return cluster_.Root(m); }
  // Runs program argv[0] of machine m with RUDED_ROOT set to m.
  RunResult On(const std::string& m, std::vector<std::string> argv,
               const std::string& input = "",
               std::map<std::string, std::string> env = {}) const {
    argv[0] = Root(m) + "/usr/sadm/sysadm/bin/" + argv[0];
    env["RUDED_ROOT"] = Root(m);
    env.try_emplace("OAM_TRACE", "");
    return e2e::Run(argv, {env, input});
  }

  e2e::ScopedTempDir dir_;
  e2e::Cluster cluster_{dir_.path() + "/cluster"};
};

TEST_F(OtClusterTest, UsageAndFailureStatuses) {
  const struct {
    const char* line;  // the program and its arguments, without quotes
    std::string input;
    int status;
    std::string err;
  } cases[] = {
      {"OTgetattr -A disk1", "", 2,
       "OTgetattr: option -K is required\n"
       "usage: OTgetattr -A alias -K attribute\n"},
      {"OTgetobj -A nothing", "", 1, "OTgetobj: no object nothing\n"},
      // A record of the other kind is absent; an alias that names no file.
      {"OTgetattr -A System -K do_echo", "", 1,
       "OTgetattr: System: no attribute do_echo\n"},
      {"OTgetmethod -A System -K nodename", "", 1,
       "OTgetmethod: System: no method nodename\n"},
      {"OTgetattr -A bad/alias -K x", "", 1,
       "OTgetattr: alias \"bad/alias\" holds a blank, control byte or /\n"},
      {"OTput -A disk1 -I -", "a=\"open\n", 1,
       "OTput: standard input: not a keyword stream (sspi_errno 252)\n"},
      {"OTperform -A System -M do_echo -I -", "a=\"x\" b=\"y\"\n", 1,
       "OTperform: standard input: not a parameter file: the value of a is "
       "followed by more after its closing quote\n"},
      // Bare pairs may share a line: the pair after size=1 is read.
      {"OTput -A disk1 -I -", "size=1 alias=other\n", 1,
       "OTput: alias names the object and cannot be put\n"},
      {"OTput -A disk1 -I /no/such/file", "", 1,
       "OTput: open(/no/such/file): No such file or directory\n"},
      {"OTinit -x", "", 2,
       "OTinit: bad option -x\nusage: OTinit [-S servers]\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    std::istringstream words(c.line);
    RunResult r =
        On("alpha", {std::istream_iterator<std::string>(words), {}}, c.input);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  // Nothing above changed the store.
  EXPECT_EQ(e2e::ListDir(Root("alpha") + "/var/sadm/ot/objects"),
            std::vector<std::string>{"System"});
}

// OTinit makes System, naming the machine its own server unless -S names
// others; run again it keeps the pairs put there since.
TEST_F(OtClusterTest, OtinitMakesSystemAndKeepsItsPairs) {
  const std::string system = Root("beta") + "/var/sadm/ot/objects/System";
  unlink(system.c_str());
  ASSERT_EQ(On("beta", {"OTinit"}).status, 0);
  EXPECT_EQ(e2e::ReadFile(system),
            "nodename=\"beta\"\nname_servers=\"beta\"\ndo_echo=\"cat\"\n");
  On("beta", {"OTput", "-A", "System", "-I", "-"}, "site=\"lab\"\n");
  ASSERT_EQ(On("beta", {"OTinit", "-S", "alpha,beta"}).status, 0);
  ASSERT_EQ(On("beta", {"OTinit"}).status, 0);
  EXPECT_EQ(e2e::ReadFile(system),
            "nodename=\"beta\"\nname_servers=\"alpha,beta\"\ndo_echo=\"cat\"\n"
            "site=\"lab\"\n");
}

// A machine of the cluster runs the command as itself, in its root; any
// other node goes to ssh (first in PATH, or as RS_SSH splits into words),
// here a stand-in that records its arguments and runs the command.  Input
// goes in, the status comes back.
TEST_F(OtClusterTest, RsclientRunsAsTheSiblingOrOverSsh) {
  const std::string marker = dir_.path() + "/ran", beta = Root("beta");
  const std::string fake = dir_.path() + "/fake ssh", args = fake + ".args";
  e2e::WriteFile(
      fake,
      "#!/bin/sh\nprintf '%s|' \"$@\" > \"$FAKE_DIR/fake ssh.args\"\n"
      "while [ \"$1\" != -- ]; do shift; done\nexec sh -c \"$3\"\n");
  chmod(fake.c_str(), 0755);
  mkdir((dir_.path() + "/bin").c_str(), 0755);
  symlink(fake.c_str(), (dir_.path() + "/bin/ssh").c_str());
  const std::string rs_ssh = "'" + fake + "' -F \"$FAKE_DIR/a b\"";
  const std::string subst = "'" + fake + "' $(touch " + marker + ")";
  const std::string touch = "touch " + marker, io = "cat; echo err >&2; exit 7";
  const std::string ssh = "-F|" + dir_.path() + "/a b|-o|BatchMode=yes|-T|--|";
  const std::string plain = "-o|ConnectTimeout=10|-o|BatchMode=yes|-T|--|";
  const struct {
    const char* node;  // nullptr: no -N
    std::string command, rs_ssh, input;
    int status;
    std::string out, err, ssh;  // ssh: what it got ("" when it never ran)
  } cases[] = {
      {"beta", "cat etc/nodename; echo $RUDED_ROOT; pwd", rs_ssh, "", 0,
       "beta\n" + beta + "\n" + beta + "\n", "", ""},
      {"beta", io, rs_ssh, "in\n", 7, "in\n", "err\n", ""},
      {"gamma", io, rs_ssh, "in\n", 7, "in\n", "err\n",
       ssh + "gamma|" + io + "|"},
      // RS_SSH unset or blank: ssh with a connection timeout.
      {"gamma", io, "", "in\n", 7, "in\n", "err\n",
       plain + "gamma|" + io + "|"},
      {"gamma", io, " \t", "in\n", 7, "in\n", "err\n",
       plain + "gamma|" + io + "|"},
      {"gamma", touch, "/no/such/ssh -q", "", 255, "",
       "RSClient: /no/such/ssh: No such file or directory\n", ""},
      // What wordexp() refuses, and a line that expands to no words.
      {"gamma", touch, subst, "", 255, "",
       "RSClient: RS_SSH: command substitution is not allowed\n", ""},
      {"gamma", touch, "ssh 'open", "", 255, "",
       "RSClient: RS_SSH: unbalanced quotes\n", ""},
      {"gamma", touch, "ssh; touch /x", "", 255, "",
       "RSClient: RS_SSH: an unquoted | & ; < > ( ) { } or newline\n", ""},
      {"gamma", touch, "$RS_TEST_UNSET", "", 255, "",
       "RSClient: RS_SSH: no command\n", ""},
      // Node names that could name no machine.
      {"-oProxyCommand=touch", "true", rs_ssh, "", 255, "",
       "RSClient: unknown node -oProxyCommand=touch\n", ""},
      {"..", touch, rs_ssh, "", 255, "", "RSClient: unknown node ..\n", ""},
      {"", touch, rs_ssh, "", 255, "", "RSClient: unknown node \n", ""},
      {nullptr, touch, rs_ssh, "", 255, "",
       "RSClient: option -N is required\nusage: RSClient -N node -E command\n",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    unlink(args.c_str());
    std::vector<std::string> argv = {"RSClient", "-E", c.command};
    if (c.node) argv.insert(argv.begin() + 1, {"-N", c.node});
    RunResult r = On("alpha", argv, c.input,
                     {{"RS_SSH", c.rs_ssh},
                      {"FAKE_DIR", dir_.path()},
                      {"PATH", dir_.path() + "/bin:/usr/bin:/bin"}});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(e2e::ReadFile(args), c.ssh);
  }
  EXPECT_FALSE(e2e::Exists(marker));
}

}  // namespace
