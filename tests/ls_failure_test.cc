// libls when things go wrong: unknown nodes, remote commands that fail or
// print what cannot be read, and what reaches the far side's parameter
// files.  Object-tool commands are replaced by scripts where a test needs
// a particular output.

#include <regex>
#include <string>
#include <vector>

#include "tests/ls_cluster.h"

namespace ls_e2e {
namespace {

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

}  // namespace
}  // namespace ls_e2e
