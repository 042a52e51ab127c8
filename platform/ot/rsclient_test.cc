// RSClient's choice of transport and the ssh command line it builds.

#include "platform/ot/rsclient.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace ot {
namespace {

TEST(RsclientTest, ChoosesSiblingMachinesElseSsh) {
  e2e::ScopedTempDir dir;
  const std::string cluster = dir.path();
  e2e::WriteFile(cluster + "/m1/etc/nodename", "alpha\n");
  e2e::WriteFile(cluster + "/m2/etc/nodename", "beta\n");
  struct Case {
    std::string root, node;
    bool ok;
    std::string sibling;  // "" for ssh
  } cases[] = {
      {cluster + "/m1", "beta", true, cluster + "/m2"},
      {cluster + "/m1", "m2", true, cluster + "/m2"},
      {cluster + "/m1", "alpha", true, cluster + "/m1"},
      {cluster + "/m1", "gamma", true, ""},  // not a machine of the cluster
      {"", "beta", true, ""},                // no machine root at all
      {"", "-oProxyCommand=x", false, ""},
      {"", "a b", false, ""},
      {"", "..", false, ""},
      {"", "", false, ""},
  };
  for (const Case& c : cases) {
    std::string sibling = "unchanged";
    EXPECT_EQ(ChooseTransport(c.root, c.node, &sibling), c.ok) << c.node;
    EXPECT_EQ(sibling, c.sibling) << c.root << " " << c.node;
  }
}

TEST(RsclientTest, SshLineSplitsRsSshAsAShellWould) {
  setenv("RS_TEST_DIR", "/etc/ruded", 1);
  unsetenv("RS_TEST_UNSET");
  const std::vector<std::string> tail = {
      "-o", "BatchMode=yes", "-T", "--", "beta", "a \"b\"; c > /tmp/x"};
  const std::vector<std::string> plain = {"ssh", "-o", "ConnectTimeout=10"};
  struct Case {
    const char* rs_ssh;
    std::vector<std::string> head;  // empty: refused with err
    std::string err;
  } cases[] = {
      {nullptr, plain, ""},
      {" \t", plain, ""},
      {"ssh", {"ssh"}, ""},
      {"ssh -F '/etc/my config' -o \"User=a b\"",
       {"ssh", "-F", "/etc/my config", "-o", "User=a b"}, ""},
      {"/usr/bin/ssh\\ 2 -p\t2222 -q", {"/usr/bin/ssh 2", "-p", "2222", "-q"}, ""},
      {"ssh -F $RS_TEST_DIR/ssh_config", {"ssh", "-F", "/etc/ruded/ssh_config"}, ""},
      {"ssh -F '$RS_TEST_DIR'", {"ssh", "-F", "$RS_TEST_DIR"}, ""},
      {"ssh $(touch /x)", {}, "RS_SSH: command substitution is not allowed"},
      {"ssh `touch /x`", {}, "RS_SSH: command substitution is not allowed"},
      {"ssh 'open", {}, "RS_SSH: unbalanced quotes"},
      {"ssh; touch /x", {}, "RS_SSH: an unquoted | & ; < > ( ) { } or newline"},
      {"ssh > /x", {}, "RS_SSH: an unquoted | & ; < > ( ) { } or newline"},
      {"$RS_TEST_UNSET", {}, "RS_SSH: no command"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {"stale"};
    std::string err;
    bool ok = SshArgv(c.rs_ssh, "beta", tail.back(), &argv, &err);
    const char* what = c.rs_ssh ? c.rs_ssh : "(unset)";
    EXPECT_EQ(ok, !c.head.empty()) << what;
    EXPECT_EQ(err, c.err) << what;
    std::vector<std::string> want;
    if (ok) {
      want = c.head;
      want.insert(want.end(), tail.begin(), tail.end());
    }
    EXPECT_EQ(ok ? argv : std::vector<std::string>{}, want) << what;
  }
}

}  // namespace
}  // namespace ot
