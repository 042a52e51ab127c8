// libls end to end: every operation through the ls_call driver, run as a
// separate process on machine alpha of a two-machine cluster, here and on
// a registered name server with the real object-tool commands and
// RSClient; what fails (unknown nodes, remote commands that fail or print
// what cannot be read); what reaches the far side's parameter files; that
// every word of every shell line is checked and nothing runs when one is
// refused; and hostile net aliases, parameters and values at and past
// their buffers (run under the sanitizer preset, nothing may be read or
// written past a buffer).  Object-tool commands are replaced by scripts
// where a test needs a particular output.

#include <map>
#include <regex>
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


class LsFailureTest : public ClusterTest {
 protected:
  // Runs args on alpha and expects failure.
  void ExpectFailure(const std::vector<std::string>& args, const std::string& out) {
    e2e::RunResult r = Call("alpha", args);
    EXPECT_EQ(r.status, 1) << args[0] << " " << args[1];
    EXPECT_EQ(r.out, out) << args[0] << " " << args[1];
  }
  std::string BinOf(const std::string& m) { return Root(m) + "/usr/sadm/sysadm/bin/"; }
};

TEST_F(LsFailureTest, UnregisteredNodeRunsNothing) {
  // gamma is in nobody's registry: were it asked for all the same,
  // RSClient would run (and be counted).
  const struct {
    std::vector<std::string> args;
    const char* component;
  } cases[] = {
      {{"attr", "gamma:System", "nodename"}, "LS.LSQueryattr"},
      {{"meth", "gamma:System", "do_echo"}, "LS.LSQuerymeth"},
      {{"attrs", "gamma:System"}, "LS.LSQueryattrs"},
      {{"meths", "gamma:System"}, "LS.LSQuerymeths"},
      {{"obj", "gamma:System"}, "LS.LSQueryobj"},
      {{"next", "all", "gamma:"}, "LS.LSQuerynext"},
      {{"aliases", "Containment=gamma"}, "LS.LSBrowse"},
      {{"put", "gamma:System", "a=1"}, "LS.LSPut"},
      {{"perform", "gamma:System", "do_echo", "a=1"}, "RS.RSPerform"},
  };
  for (const auto& c : cases) {
    ClearLogs();
    e2e::RunResult r = Call("alpha", c.args);
    EXPECT_EQ(r.status, 1) << c.component;
    std::vector<std::string> log = {std::string("LOG ") + c.component +
                                    " 703 4: gamma is unknown to the name/locations service"};
    if (c.args[0] == "aliases") log.push_back("LOG LS.LSBrowse 703 2: LSBrowse failed");
    EXPECT_EQ(LogLines("alpha", "LOG "), log) << c.component;
    EXPECT_EQ(RsclientRuns(), 0) << c.component;
  }
}

TEST_F(LsFailureTest, RemoteCommandExitingOneLogsWholeLine) {
  const std::string bin = BinOf("alpha");
  const std::string quoted = "\"OAM_DEVTAB=/etc/device.tab export OAM_DEVTAB;" + bin;
  const std::string tmp = Root("alpha") + "/tmp/";
  const struct {
    std::vector<std::string> args;
    const char* command;
    std::string line;  // a regular expression for the logged line
    std::vector<std::string> traces = {};  // level-7 lines, in this order
  } cases[] = {
      {{"attr", "beta:disk1", "size"}, "OTgetattr",
       "LOG LS.LSQuerylist 701 1: " + bin + "RSClient -N beta -E " + quoted +
           "OTgetattr -A disk1 -K size\" > " + tmp + "ZU_query\\w{6} failed"},
      {{"obj", "beta:disk1"}, "OTgetobj",
       "LOG LS.LSQuerylist 701 1: .*OTgetobj -A disk1\" > .*ZU_query\\w{6} failed"},
      {{"next", "all", "beta:disk1"}, "OTnextalias",
       "LOG LS.LSQuerynext 701 1: .*OTnextalias -C all -P disk1\" > .*ZU_query\\w{6} failed"},
      {{"aliases", "Containment=beta"}, "OTgetaliases",
       "LOG LS.LSBrowse 701 1: cat " + tmp + "ZU_param\\w{6} \\| " + bin +
           "RSClient -N beta -E " + quoted + "OTgetaliases -I -\" > " + tmp +
           "ZU_browse\\w{6} failed"},
      {{"put", "beta:disk1", "a=1"}, "OTput",
       "LOG LS.LSPut 701 1: cat " + tmp + "ZU_param\\w{6} \\| " + bin +
           "RSClient -N beta -E " + quoted + "OTput -A disk1 -I -\" failed",
       {"LS.LSPut: Build Parameter File", "LS.LSPut: LS.LSPut cmd: ",
        "LS.LSPut: system status:256 1"}},
      {{"perform", "beta:disk1", "do_show"}, "OTperform",
       "LOG RS.RSPerform 701 1: cat .*ZU_param\\w{6} \\| .*OTperform -A disk1 -M "
       "do_show -I -\" > " + tmp + "ZU_perform\\w{6} failed",
       {"RS.RSPerform: RS.RSPerform cmd: ", "RS.RSPerform: system status 256 1"}},
  };
  for (const auto& c : cases) {
    ClearLogs();
    Fake("alpha", c.command, 1);
    e2e::RunResult r = Call("alpha", c.args, {{"OAM_TRACE", "7"}});
    EXPECT_EQ(r.status, 1) << c.command;
    EXPECT_NE(Saved("beta", c.command, "args"), "") << c.command << ": ran on beta";
    const std::string text = e2e::ReadFile(Root("alpha") + "/var/adm/oam.log");
    size_t at = 0;
    for (const std::string& t : c.traces) {
      at = text.find("TRACE 7 " + t, at);
      EXPECT_NE(at, std::string::npos) << c.command << ": " << t;
    }
    std::vector<std::string> log = LogLines("alpha", "LOG ");
    ASSERT_GE(log.size(), 1u) << c.command;
    EXPECT_TRUE(std::regex_match(log[0], std::regex(c.line))) << log[0];
  }
}

struct OutputCase {
  const char* command;
  std::string canned;
  std::vector<std::string> args;
  std::string out;               // what ls_call prints
  std::vector<std::string> log;  // every LOG entry
};

TEST_F(LsFailureTest, ReadsEmptyAndMalformedOutput) {
  const std::string w40(40, 'w');
  const OutputCase cases[] = {
      {"OTgetattr", "size=12\nmore=1\n", {"attr", "beta:d", "size"}, "size=\"12\"\n", {}},
      {"OTgetattr", "", {"attr", "beta:d", "size"}, "NULL\n",
       {"LOG LS.LSQueryattr 799 5: getkeyword failed"}},
      {"OTgetattr", "size\n", {"attr", "beta:d", "size"}, "NULL\n",
       {"LOG LS.LSQueryattr 799 5: getkeyword failed"}},
      {"OTgetmethod", "", {"meth", "beta:d", "do_x"}, "NULL\n",
       {"LOG LS.LSQuerymeth 799 5: getkeyword failed"}},
      {"OTgetattrs", "", {"attrs", "beta:d"}, "", {}},
      {"OTgetattrs", "a=\"open\n", {"attrs", "beta:d"}, "NULL\n",
       {"LOG LS.LSQueryattrs 799 5: KeywordStreamToList failed"}},
      {"OTgetmethods", "", {"meths", "beta:d"}, "", {}},
      {"OTgetmethods", "=x\n", {"meths", "beta:d"}, "NULL\n",
       {"LOG LS.LSQuerymeths 799 5: KeywordStreamToList failed"}},
      {"OTgetobj", "", {"obj", "beta:d"}, "NULL\n", {}},
      {"OTgetobj", "alias=\"disk9\"\n", {"obj", "beta:d"}, "NULL\n", {}},
      {"OTgetobj", "size=1 alias=disk9 do_x=y\n", {"obj", "beta:d"},
       "alias disk9\nattribute size=\"1\"\nmethod do_x=\"y\"\n", {}},
      {"OTgetobj", "size=1 color=\n", {"obj", "beta:d"}, "NULL\n",
       {"LOG LS.LSQueryobj 799 5: Output of OTgetob invalid"}},
      {"OTnextalias", "", {"next", "all", "beta:d"}, "NULL\n",
       {"LOG LS.LSQuerynext 799 5: fscanf failed"}},
      {"OTnextalias", "\n disk7 disk8\n", {"next", "all", "beta:d"}, "disk7\n", {}},
      {"OTnextalias", w40.substr(1) + "\n", {"next", "all", "beta:d"}, w40.substr(1) + "\n",
       {}},
      {"OTnextalias", w40, {"next", "all", "beta:d"}, "NULL\n",
       {"LOG LS.LSQuerynext 799 3: next alias refused: longer than 39 bytes"}},
      {"OTperform", "", {"perform", "beta:d", "do_x"}, "", {}},
      {"OTperform", "a=\"open\n", {"perform", "beta:d", "do_x"}, "NULL\n",
       {"LOG RS.RSPerform 799 5: KeywordStreamToList failed"}},
      {"OTgetaliases", "", {"aliases", "Containment=beta"}, "NULL\n", {}},
      {"OTgetaliases", "disk1\ndisk2 ", {"aliases", "Containment=beta"},
       "beta:disk1\nbeta:disk2\n", {}},
      // A word too long for its buffer is left out; the next still counts.
      {"OTgetaliases", "d1 " + std::string(600, 'x') + " d2\n",
       {"aliases", "Containment=beta"}, "beta:d1\nbeta:d2\n",
       {"LOG LS.LSBrowse 799 3: alias refused: longer than 519 bytes"}},
  };
  for (const OutputCase& c : cases) {
    ClearLogs();
    Fake("alpha", c.command);
    Canned("beta", c.command, c.canned);
    e2e::RunResult r = Call("alpha", c.args);
    EXPECT_EQ(r.out, c.out) << c.command << " printing " << c.canned;
    EXPECT_EQ(r.status, c.out == "NULL\n" ? 1 : 0) << c.command << " printing " << c.canned;
    EXPECT_EQ(LogLines("alpha", "LOG "), c.log) << c.command << " printing " << c.canned;
  }
}

TEST_F(LsFailureTest, PreviousAliasAndDeviceTableReachTheFarSide) {
  Fake("alpha", "OTnextalias");
  Canned("beta", "OTnextalias", "disk4\n");
  EXPECT_EQ(Call("alpha", {"next", "type=disk", "beta:"}).out, "disk4\n");
  EXPECT_EQ(Saved("beta", "OTnextalias", "args"), "-C type=disk\n");
  EXPECT_EQ(Saved("beta", "OTnextalias", "devtab"), "/etc/device.tab\n");
  EXPECT_EQ(Call("alpha", {"next", "all", "beta:disk3"}, {{"OAM_DEVTAB", "/opt/dev.tab"}}).out,
            "disk4\n");
  EXPECT_EQ(Saved("beta", "OTnextalias", "args"), "-C all -P disk3\n");
  EXPECT_EQ(Saved("beta", "OTnextalias", "devtab"), "/opt/dev.tab\n");
}

TEST_F(LsFailureTest, ParameterFilesCarryValuesUnchanged) {
  Fake("alpha", "OTgetaliases");
  Canned("beta", "OTgetaliases", "disk1 disk2\n");
  EXPECT_EQ(Call("alpha", {"aliases", "type=disk", "Containment=beta", "color=dark red"}).out,
            "beta:disk1\nbeta:disk2\n");
  EXPECT_EQ(Saved("beta", "OTgetaliases", "stdin"), "type=disk\ncolor=dark red\n");

  // A tab, a double quote and texts a shell would read go as they stand.
  const std::vector<std::string> odd = {"k=tab\there", "q=say \"hi\"; $(x) `y`", "e="};
  const std::string quoted = "k=\"tab\there\"\nq=\"say \"hi\"; $(x) `y`\"\ne=\"\"\n";
  Fake("alpha", "OTput");
  std::vector<std::string> put = {"put", "beta:disk1"};
  put.insert(put.end(), odd.begin(), odd.end());
  EXPECT_EQ(Call("alpha", put).out, "result 0\n");
  EXPECT_EQ(Saved("beta", "OTput", "stdin"), quoted);
  EXPECT_EQ(Saved("beta", "OTput", "args"), "-A disk1 -I -\n");

  Fake("alpha", "OTperform");
  std::vector<std::string> perform = {"-s", "1", "perform", "beta:disk1", "do_x"};
  perform.insert(perform.end(), odd.begin(), odd.end());
  EXPECT_EQ(Call("alpha", perform).status, 0);
  EXPECT_EQ(Saved("beta", "OTperform", "stdin"), quoted.substr(quoted.find("q=")));
  EXPECT_EQ(Call("alpha", {"perform", "beta:disk1", "do_x", "-"}).status, 0);
  EXPECT_EQ(Saved("beta", "OTperform", "stdin"), "");
  EXPECT_EQ(Saved("beta", "OTperform", "args"), "-A disk1 -M do_x -I -\n");
}

TEST_F(LsFailureTest, BrowseHereUnknownAndEmptyContainment) {
  ClearLogs();
  ExpectFailure({"aliases", "Containment="}, "NULL\n");
  EXPECT_EQ(LogLines("alpha", "ERROR "),
            std::vector<std::string>{"ERROR LSBrowse: Error in ReferenceKeywordInList"});
  ExpectFailure({"aliases", "Containment=alpha", "type=none"}, "NULL\n");
  ExpectFailure({"aliases", "Containment=delta"}, "NULL\n");
  EXPECT_EQ(LogLines("alpha", "LOG "),
            (std::vector<std::string>{
                "LOG LS.LSBrowse 703 4: delta is unknown to the name/locations service",
                "LOG LS.LSBrowse 703 2: LSBrowse failed"}));
  EXPECT_EQ(RsclientRuns(), 0);
}

TEST_F(LsFailureTest, PutWithoutListCallsNothing) {
  Fake("alpha", "OTput");
  ClearLogs();
  ExpectFailure({"put", "beta:System", "-"}, "result -1\n");
  ExpectFailure({"put", "alpha:System", "-"}, "result -1\n");
  ExpectFailure({"put", "System", "-"}, "result -1\n");
  EXPECT_EQ(RsclientRuns(), 0);
  EXPECT_EQ(LogLines("alpha", ""), std::vector<std::string>{});
}


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


class RobustLsHostileTest : public ClusterTest {
 protected:
  void SetUp() override {
    ClusterTest::SetUp();
    Put("beta", "disk1", "size=20\n");
    ClearLogs();
  }

  // Runs args on alpha; true when RSClient ran (the request left alpha).
  bool Sent(const std::vector<std::string>& args, e2e::RunResult* result,
            const std::map<std::string, std::string>& env = {}) {
    ClearLogs();
    *result = Call("alpha", args, env);
    return RsclientRuns() > 0;
  }

  // How often text stands in alpha's log (entries may span lines: a
  // refused word is logged as it stands).
  int Logged(const std::string& text) const {
    const std::string log = e2e::ReadFile(Root("alpha") + "/var/adm/oam.log");
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos;
         at = log.find(text, at + 1))
      ++n;
    return n;
  }
};

TEST_F(RobustLsHostileTest, NetAliasesAtAndPastTheirBuffer) {
  // 519 bytes go out (and find no such object there); 520 are refused
  // before anything runs.
  for (size_t size : {519u, 520u}) {
    const std::string netalias = "beta:" + std::string(size - 5, 'a');
    const std::vector<std::vector<std::string>> operations = {
        {"attr", netalias, "size"}, {"meth", netalias, "do_show"},
        {"attrs", netalias},        {"meths", netalias},
        {"obj", netalias},          {"next", "all", netalias},
        {"put", netalias, "a=1"},   {"perform", netalias, "do_echo"},
    };
    for (const auto& op : operations) {
      e2e::RunResult r;
      EXPECT_EQ(Sent(op, &r), size == 519) << op[0] << " " << size;
      EXPECT_EQ(Logged("799 3: net alias refused: longer than 519 bytes"),
                size == 520 ? 1 : 0)
          << op[0] << " " << size;
      if (size == 520) {
        EXPECT_EQ(r.status, 1) << op[0];
      }
    }
  }
}

// The refusal named only the value's limit, also for a keyword too long.
TEST_F(RobustLsHostileTest, ParametersAtAndPastTheirBuffers) {
  const struct {
    std::string pair;
    std::string refusal;  // "" when the pair fits
  } pairs[] = {
      {std::string(39, 'k') + "=1", ""},
      {std::string(40, 'k') + "=1",
       "799 3: parameter keyword refused: longer than 39 bytes"},
      {"k=" + std::string(519, 'v'), ""},
      {"k=" + std::string(520, 'v'),
       "799 3: parameter value refused: longer than 519 bytes"},
  };
  for (const auto& p : pairs) {
    const std::vector<std::vector<std::string>> operations = {
        {"put", "beta:disk1", p.pair},
        {"perform", "beta:System", "do_echo", p.pair},
        {"aliases", "Containment=beta", p.pair},
    };
    for (const auto& op : operations) {
      const std::string tag = op[0] + " " + p.pair.substr(0, 45);
      e2e::RunResult r;
      EXPECT_EQ(Sent(op, &r), p.refusal.empty()) << tag;
      EXPECT_EQ(Logged("refused"), p.refusal.empty() ? 0 : 1) << tag;
      if (!p.refusal.empty()) {
        EXPECT_EQ(Logged(p.refusal), 1) << tag;
      }
    }
  }
}

// Values go to another node in a parameter file, one pair a line.  A
// newline would start a line of the sender's choosing: refused before
// anything is written or run, with one entry.  A double quote goes out as
// it stands, and the far OTput or OTperform refuses a file in which a
// closing quote does not end its line: nothing is stored or run there, and
// the call fails as for any failed command.  Here the library decides.
TEST_F(RobustLsHostileTest, ValuesAParameterFileCannotCarryAreRefused) {
  const std::string pwn = "x\" do_pwn=\"touch " + Marker();
  const std::string line = "x\ndo_pwn=touch " + Marker();
  const std::string servers = "x\" name_servers=\"gamma";
  const std::string refused =
      " 799 3: value of note refused: not allowed in a parameter file";
  const struct {
    std::string op, node, value;
    bool sent;           // RSClient ran
    std::string logged;  // how alpha's one LOG entry begins; "": none
  } cases[] = {
      {"put", "beta", line, false, "LOG LS.LSPut" + refused},
      {"perform", "beta", line, false, "LOG RS.RSPerform" + refused},
      {"aliases", "beta", line, false, "LOG LS.LSBrowse" + refused},
      {"put", "beta", pwn, true, "LOG LS.LSPut 701 1: cat "},
      {"put", "beta", servers, true, "LOG LS.LSPut 701 1: cat "},
      {"perform", "beta", pwn, true, "LOG RS.RSPerform 701 1: cat "},
      {"put", "alpha", pwn, false, ""},  // OTLput refuses a double quote
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {c.op, c.node + ":System"};
    if (c.op == "perform") args.push_back("do_echo");
    if (c.op == "aliases") args = {c.op, "Containment=" + c.node};
    args.insert(args.end(), {"ok=1", "note=" + c.value});
    const std::string tag = c.op + " " + c.node + " " + c.value;
    const std::string object = Root(c.node) + "/var/sadm/ot/objects/System";
    const std::string before = e2e::ReadFile(object);
    e2e::RunResult r;
    EXPECT_EQ(Sent(args, &r), c.sent) << tag;
    EXPECT_EQ(r.status, 1) << tag;
    EXPECT_EQ(r.out, c.op == "put" ? "result -1\n" : "NULL\n") << tag;
    const std::vector<std::string> log = LogLines("alpha", "LOG ");
    EXPECT_EQ(log.size(), c.logged.empty() ? 0u : 1u) << tag;
    if (log.size() == 1) {
      EXPECT_EQ(log[0].rfind(c.logged, 0), 0u) << tag << ": " << log[0];
    }
    EXPECT_FALSE(e2e::Exists(Marker())) << tag;
    EXPECT_EQ(e2e::ReadFile(object), before) << tag;
  }
}

}  // namespace
}  // namespace ls_e2e
