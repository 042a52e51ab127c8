// The object-tool commands, OTinit and RSClient, run as real processes on
// two machines of one cluster directory.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

using e2e::RunResult;

const std::string kCommands = "libexec/ruded/";

// Two machines, <tmp>/m1 (node alpha) and <tmp>/m2 (node beta), each with
// the programs in usr/sadm/sysadm/bin and an object store set up by OTinit.
class OtClusterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* m : {"m1", "m2"}) {
      std::string root = Root(m);
      e2e::WriteFile(
          root + "/etc/nodename",
          std::string(m == std::string("m1") ? "alpha" : "beta") + "\n");
      std::filesystem::create_directories(Bin(m, ""));
      for (const std::string& p : e2e::ListDir(e2e::Staged(kCommands)))
        ASSERT_EQ(symlink(e2e::Staged(kCommands + p).c_str(), Bin(m, p).c_str()),
                  0);
      RunResult init = On(m, {"OTinit"});
      ASSERT_EQ(init.status, 0) << init.err;
    }
  }

  std::string Root(const std::string& m) const { return dir_.path() + "/" + m; }
  std::string Bin(const std::string& m, const std::string& p) const {
    return Root(m) + "/usr/sadm/sysadm/bin/" + p;
  }
  std::string Log(const std::string& m) const {
    return e2e::ReadFile(Root(m) + "/var/adm/oam.log");
  }

  // Runs program argv[0] of machine m with RUDED_ROOT set to m.
  RunResult On(const std::string& m, std::vector<std::string> argv,
               const std::string& input = "",
               std::map<std::string, std::string> env = {}) const {
    argv[0] = Bin(m, argv[0]);
    env["RUDED_ROOT"] = Root(m);
    if (env.count("OAM_TRACE") == 0) env["OAM_TRACE"] = "";
    return e2e::Run(argv, {env, "", input});
  }

  e2e::ScopedTempDir dir_;
};

TEST_F(OtClusterTest, UsageAndFailureStatuses) {
  struct Case {
    std::vector<std::string> argv;
    std::string input;
    int status;
    std::string err;
  } cases[] = {
      {{"OTgetattr", "-A", "disk1"}, "", 2,
       "OTgetattr: option -K is required\n"
       "usage: OTgetattr -A alias -K attribute\n"},
      {{"OTgetobj", "-A", "nothing"}, "", 1, "OTgetobj: no object nothing\n"},
      {{"OTput", "-A", "disk1", "-I", "-"}, "a=\"open\n", 1,
       "OTput: standard input: not a keyword stream (sspi_errno 252)\n"},
      {{"OTperform", "-A", "System", "-M", "do_echo", "-I", "-"},
       "a=\"x\" b=\"y\"\n", 1,
       "OTperform: standard input: not a parameter file: the value of a is "
       "followed by more after its closing quote\n"},
      // Bare pairs may share a line: the pair after size=1 is read.
      {{"OTput", "-A", "disk1", "-I", "-"}, "size=1 alias=other\n", 1,
       "OTput: alias names the object and cannot be put\n"},
      {{"OTput", "-A", "disk1", "-I", "/no/such/file"}, "", 1,
       "OTput: open(/no/such/file): No such file or directory\n"},
      {{"OTinit", "-x"}, "", 2,
       "OTinit: bad option -x\nusage: OTinit [-S servers]\n"},
  };
  for (const Case& c : cases) {
    RunResult r = On("m1", c.argv, c.input);
    EXPECT_EQ(r.status, c.status) << c.argv[0] << " " << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "") << c.argv[0];
  }
  // Nothing above changed the store.
  EXPECT_EQ(e2e::ListDir(Root("m1") + "/var/sadm/ot/objects"),
            std::vector<std::string>{"System"});
}

TEST_F(OtClusterTest, OtinitKeepsSystemAndSetsServersOnRequest) {
  const std::string system = Root("m2") + "/var/sadm/ot/objects/System";
  EXPECT_EQ(e2e::ReadFile(system),
            "nodename=\"beta\"\nname_servers=\"beta\"\ndo_echo=\"cat\"\n");
  On("m2", {"OTput", "-A", "System", "-I", "-"}, "site=\"lab\"\n");
  ASSERT_EQ(On("m2", {"OTinit"}).status, 0);
  ASSERT_EQ(On("m2", {"OTinit", "-S", "alpha,beta"}).status, 0);
  EXPECT_EQ(e2e::ReadFile(system),
            "nodename=\"beta\"\nname_servers=\"alpha,beta\"\ndo_echo=\"cat\"\n"
            "site=\"lab\"\n");
}

TEST_F(OtClusterTest, RsclientRunsTheCommandAsTheOtherMachine) {
  for (const char* node : {"beta", "m2"}) {  // by node name or directory
    RunResult r = On("m1", {"RSClient", "-N", node, "-E",
                            "cat etc/nodename; echo $RUDED_ROOT; pwd"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "beta\n" + Root("m2") + "\n" + Root("m2") + "\n") << node;
  }
  // Standard input reaches the remote command; its exit status comes back.
  RunResult put = On(
      "m1",
      {"RSClient", "-N", "beta", "-E", Bin("m1", "OTput") + " -A disk9 -I -"},
      "size=\"99\"\n");
  EXPECT_EQ(put.status, 0) << put.err;
  EXPECT_EQ(e2e::ReadFile(Root("m2") + "/var/sadm/ot/objects/disk9"),
            "size=\"99\"\n");
  EXPECT_FALSE(e2e::Exists(Root("m1") + "/var/sadm/ot/objects/disk9"));
  RunResult failed = On(
      "m1", {"RSClient", "-N", "beta", "-E", "echo out; echo err >&2; exit 7"});
  EXPECT_EQ(failed.status, 7);
  EXPECT_EQ(failed.out, "out\n");
  EXPECT_EQ(failed.err, "err\n");
}

// A node that is no machine of the cluster goes to ssh; a stand-in ssh
// (RS_SSH) records its arguments and runs the command here.
TEST_F(OtClusterTest, RsclientOverSshStatusesAndOwnFailures) {
  const std::string marker = dir_.path() + "/ran";
  const std::string fake = dir_.path() + "/fake ssh";
  e2e::WriteFile(fake,
                 "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.args\"\n"
                 "while [ \"$1\" != -- ]; do shift; done\nexec sh -c \"$3\"\n");
  chmod(fake.c_str(), 0755);
  const std::string rs_ssh = "'" + fake + "' -F \"$FAKE_DIR/a b\"";
  struct Case {
    std::string node, command, rs_ssh, input;
    int status;
    std::string out, err, args;  // args: what ssh got ("" when it never ran)
  } cases[] = {
      {"gamma", "cat; echo err >&2; exit 7", rs_ssh, "in\n", 7, "in\n", "err\n",
       "-F|" + dir_.path() + "/a b|-o|BatchMode=yes|-T|--|gamma|cat; echo err "
       ">&2; exit 7|"},
      {"gamma", "exit 255", rs_ssh, "", 255, "", "", "-F|" + dir_.path() +
       "/a b|-o|BatchMode=yes|-T|--|gamma|exit 255|"},
      {"gamma", "touch " + marker, "/no/such/ssh -q", "", 255, "",
       "RSClient: /no/such/ssh: No such file or directory\n", ""},
      {"gamma", "touch " + marker, "'" + fake + "' $(touch " + marker + ")", "",
       255, "", "RSClient: RS_SSH: command substitution is not allowed\n", ""},
      {"..", "touch " + marker, rs_ssh, "", 255, "", "RSClient: unknown node ..\n",
       ""},
      {"-oProxyCommand=touch", "true", rs_ssh, "", 255, "",
       "RSClient: unknown node -oProxyCommand=touch\n", ""},
  };
  for (const Case& c : cases) {
    unlink((fake + ".args").c_str());
    RunResult r = On("m1", {"RSClient", "-N", c.node, "-E", c.command}, c.input,
                     {{"RS_SSH", c.rs_ssh}, {"FAKE_DIR", dir_.path()}});
    EXPECT_EQ(r.status, c.status) << c.command;
    EXPECT_EQ(r.out, c.out) << c.command;
    EXPECT_EQ(r.err, c.err) << c.command;
    EXPECT_EQ(e2e::ReadFile(fake + ".args"), c.args) << c.command;
  }
  RunResult usage = On("m1", {"RSClient", "-E", "touch " + marker});
  EXPECT_EQ(usage.status, 255);
  EXPECT_EQ(usage.err,
            "RSClient: option -N is required\nusage: RSClient -N node -E "
            "command\n");
  EXPECT_FALSE(e2e::Exists(marker));
}

TEST_F(OtClusterTest, TracesLandInTheLogOfTheMachineThatWrites) {
  RunResult r = On("m1",
                   {"RSClient", "-N", "beta", "-E",
                    Bin("m1", "OTgetattr") + " -A System -K nodename"},
                   "", {{"OAM_TRACE", "8"}, {"OAM_DEVTAB", "/etc/lab.tab"}});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "nodename=\"beta\"\n");
  EXPECT_EQ(Log("m1"), "TRACE 8 RSClient: alpha runs as beta (" + Root("m2") +
                           "): " + Bin("m1", "OTgetattr") +
                           " -A System -K nodename\n");
  EXPECT_EQ(Log("m2"),
            "OTTRACE 8 OTLgetattr: System nodename (device table "
            "/etc/lab.tab)\n");
}

}  // namespace
