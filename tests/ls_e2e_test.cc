// libls end to end: every operation through the ls_call driver, run as a
// separate process on machine alpha of a two-machine cluster, here and on
// a registered name server with the real object-tool commands and
// RSClient; calls that run nothing (unknown nodes, refused words, no list);
// remote commands that fail or print what cannot be read, and what
// reaches the far side; and hostile net aliases, parameters and values at
// and past their buffers (run under the sanitizer preset, nothing may be
// read or written past a buffer).

#include <regex>
#include <string>
#include <vector>

#include "tests/ls_cluster.h"

namespace ls_e2e {
namespace {

using Lines = std::vector<std::string>;

using LsE2eTest = ClusterTest;

// The two machines hold objects of the same names with different values,
// so each answer shows which machine gave it.  Rows run in order; a put
// changes what later rows read.
TEST_F(LsE2eTest, EveryOperationHereAndThere) {
  for (const std::string m : {"alpha", "beta"}) {
    Put(m, "disk1",
        "size=\"" + std::string(m == "alpha" ? "10" : "20") + "\"\ntype=disk\ndo_show=\"echo where=" +
            m + "\"\n");
  }
  Put("alpha", "disk3", "type=disk\n");
  Put("beta", "disk2", "type=disk\nsize=30\n");
  ClearLogs();
  const std::string kSkip = "~";
  const struct {
    std::vector<std::string> args;
    std::string here;   // answer for node alpha (RSClient does not run)
    std::string there;  // answer for node beta (RSClient runs once)
  } rows[] = {
      {{"attr", "@:disk1", "size"}, "size=\"10\"\n", "size=\"20\"\n"},
      {{"meth", "@:disk1", "do_show"}, "do_show=\"echo where=alpha\"\n",
       "do_show=\"echo where=beta\"\n"},
      {{"attrs", "@:disk1"}, "size=\"10\"\ntype=\"disk\"\n", "size=\"20\"\ntype=\"disk\"\n"},
      {{"meths", "@:disk1"}, "do_show=\"echo where=alpha\"\n", "do_show=\"echo where=beta\"\n"},
      {{"obj", "@:disk1"},
       "alias disk1\nattribute size=\"10\"\nattribute type=\"disk\"\nmethod do_show=\"echo "
       "where=alpha\"\n",
       "alias disk1\nattribute size=\"20\"\nattribute type=\"disk\"\nmethod do_show=\"echo "
       "where=beta\"\n"},
      {{"next", "all", "@:disk1"}, "disk3\n", "disk2\n"},
      {{"next", "type=disk", "@:"}, "disk1\n", "disk1\n"},
      // Without a node part the alias is this node's.
      {{"attr", "disk1", "size"}, "size=\"10\"\n", kSkip},
      {{"aliases", "type=disk", "Containment=@"}, "alpha:disk1\nalpha:disk3\n",
       "beta:disk1\nbeta:disk2\n"},
      // Without Containment the library answers here, with plain aliases.
      {{"aliases", "type=disk"}, "disk1\ndisk3\n", kSkip},
      {{"aliases", "-"}, "System\ndisk1\ndisk3\n", kSkip},
      {{"perform", "@:disk1", "do_show"}, "where=\"alpha\"\n", "where=\"beta\"\n"},
      // The System object's do_echo returns its parameters.
      {{"perform", "@:System", "do_echo", "a=1", "b=two words"}, "a=\"1\"\nb=\"two words\"\n",
       "a=\"1\"\nb=\"two words\"\n"},
      {{"perform", "@:System", "do_echo", "-"}, "", ""},
      // A list whose cursor stands after its first items: the library here
      // takes the whole list; the parameter file holds only the rest.
      {{"-s", "2", "perform", "@:System", "do_echo", "a=1", "b=2", "c=3"},
       "a=\"1\"\nb=\"2\"\nc=\"3\"\n", "c=\"3\"\n"},
      // Each put reaches its own machine's object and no other.
      {{"put", "@:disk1", "color=@", "size=21"}, "result 0\n", "result 0\n"},
      {{"attrs", "@:disk1"}, "size=\"21\"\ntype=\"disk\"\ncolor=\"alpha\"\n",
       "size=\"21\"\ntype=\"disk\"\ncolor=\"beta\"\n"},
  };
  for (const auto& row : rows) {
    for (const std::string node : {"alpha", "beta"}) {
      const std::string& out = node == "alpha" ? row.here : row.there;
      if (out == kSkip) continue;
      SCOPED_TRACE(node + ": " + row.args[0] + " " + row.args[1]);
      // "@" in a word stands for the node.
      std::vector<std::string> args = row.args;
      for (std::string& a : args)
        for (size_t at; (at = a.find('@')) != std::string::npos;) a.replace(at, 1, node);
      const int before = RsclientRuns();
      const e2e::RunResult r = Call("alpha", args);
      EXPECT_EQ(r.status, out == "NULL\n" ? 1 : 0) << r.err;
      EXPECT_EQ(r.out, out);
      EXPECT_EQ(RsclientRuns() - before, node == "beta");
    }
  }
  EXPECT_EQ(LogLines("LOG "), Lines{});
}

// Calls that fail and leave both machines' objects as they were, with
// every LOG and ERROR entry.  Unknown nodes and missing lists run nothing.
// Values go to another node in a parameter file, one pair a line: a
// newline would start a line of the sender's choosing, and is refused
// before anything is written or run.  A double quote goes out as it
// stands, and the far OTput refuses a file in which a closing quote does
// not end its line: nothing is stored there, and the call fails as for any
// failed command (the object-tool tests show OTperform and the library
// here refusing alike).
TEST_F(LsE2eTest, FailedCallsLeaveEverythingAsItWas) {
  const std::string unknown = " 703 4: gamma is unknown to the name/locations service";
  const std::string failed = "LOG LS.LSBrowse 703 2: LSBrowse failed";
  const std::string pwn = "note=x\" do_pwn=\"touch " + Marker();
  const std::string line = "note=x\ndo_pwn=touch " + Marker();
  const std::string refused = " 799 3: value of note refused: not allowed in a parameter file";
  const struct {
    std::vector<std::string> args;
    Lines log;          // every entry; where RSClient ran, how each begins
    bool sent = false;  // RSClient ran
  } rows[] = {
      // gamma is in nobody's registry: were it asked for all the same,
      // RSClient would run (and be counted).  One row per place that runs
      // a remote query (the object queries share one).
      {{"attr", "gamma:System", "nodename"}, {"LOG LS.LSQueryattr" + unknown}},
      {{"next", "all", "gamma:"}, {"LOG LS.LSQuerynext" + unknown}},
      {{"aliases", "Containment=gamma"}, {"LOG LS.LSBrowse" + unknown, failed}},
      {{"put", "gamma:System", "a=1"}, {"LOG LS.LSPut" + unknown}},
      {{"perform", "gamma:System", "do_echo", "a=1"}, {"LOG RS.RSPerform" + unknown}},
      {{"aliases", "Containment="}, {"ERROR LSBrowse: Error in ReferenceKeywordInList"}},
      {{"aliases", "Containment=alpha", "type=none"}, {}},
      // A put without a list calls nothing, here or there.
      {{"put", "beta:System", "-"}, {}},
      {{"put", "System", "-"}, {}},
      {{"put", "beta:System", "ok=1", line}, {"LOG LS.LSPut" + refused}},
      {{"perform", "beta:System", "do_echo", "ok=1", line}, {"LOG RS.RSPerform" + refused}},
      {{"aliases", "Containment=beta", "ok=1", line}, {"LOG LS.LSBrowse" + refused}},
      {{"put", "beta:System", "ok=1", pwn}, {"LOG LS.LSPut 701 1: cat "}, true},
  };
  const auto objects = [this] {
    return e2e::ReadFile(Root("alpha") + "/var/sadm/ot/objects/System") +
           e2e::ReadFile(Root("beta") + "/var/sadm/ot/objects/System");
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args[0] + " " + row.args[1] + " " + row.args.back());
    const std::string before = objects();
    ClearLogs();
    const e2e::RunResult r = Call("alpha", row.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, row.args[0] == "put" ? "result -1\n" : "NULL\n");
    EXPECT_EQ(RsclientRuns() > 0, row.sent);
    const Lines log = LogLines("");
    ASSERT_EQ(log.size(), row.log.size()) << (log.empty() ? "" : log[0]);
    for (size_t i = 0; i < log.size(); ++i)
      EXPECT_TRUE(log[i] == row.log[i] || (row.sent && log[i].rfind(row.log[i], 0) == 0))
          << log[i];
    EXPECT_FALSE(e2e::Exists(Marker()));
    EXPECT_EQ(objects(), before);
  }
}

// Every word that reaches a shell line goes through the word check (its
// rule is the unit test's byte table), and net aliases, parameter keywords
// and values are held to their buffers.  What fits goes out; a word that
// would change the line, or one byte more, is refused before anything runs
// (RSClient, or the command smuggled in, creating a marker file), with the
// one entry that names the refusal.
TEST_F(LsE2eTest, WordsAndSizesAreCheckedBeforeAnythingRuns) {
  Put("beta", "disk1", "size=20\n");
  Register("alpha", "MaXnAmEsErVrS=4\nname_servers=\"be;ta\"\nname_servers=beta\n");
  const std::string m = Marker();
  const std::string touch = ";touch " + m;
  const std::string word = "refused: not allowed in a command line";
  struct Row {
    std::vector<std::string> args;
    std::string refusal;  // logged once; "" when the call goes out
    std::string devtab = "";  // OAM_DEVTAB; "" leaves it unset
  };
  std::vector<Row> rows = {
      {{"attr", "beta:disk1", "$(touch " + m + ")"}, word},
      {{"attrs", "beta:disk1 " + m}, word},
      {{"obj", "beta:x&&touch " + m}, word},
      {{"next", "x|touch " + m, "beta:disk1"}, word},
      {{"next", "all", "beta:disk1\";touch " + m + ";\""}, word},
      {{"put", "beta:disk1" + touch, "a=1"}, word},
      {{"perform", "beta:disk1", "x" + touch}, word},
      {{"aliases", "Containment=beta"}, word, "/x" + touch},
      // A registered node name is a word too.
      {{"aliases", "Containment=be;ta"}, word},
      {{"put", "be;ta:disk1", "a=1"}, word},
  };
  // A net alias of 519 bytes goes out; one more is refused (every
  // operation splits its net alias in the one place).
  const std::string alias519 = "beta:" + std::string(514, 'a');
  rows.push_back({{"attrs", alias519}, ""});
  rows.push_back({{"perform", alias519 + "a", "do_echo"},
                  "799 3: net alias refused: longer than 519 bytes"});
  const std::pair<std::string, std::string> pairs[] = {
      {std::string(39, 'k') + "=1", ""},
      {std::string(40, 'k') + "=1", "799 3: parameter keyword refused: longer than 39 bytes"},
      {"k=" + std::string(519, 'v'), ""},
      {"k=" + std::string(520, 'v'), "799 3: parameter value refused: longer than 519 bytes"},
  };
  // Every parameter file is written in the one place.
  for (const auto& [pair, refusal] : pairs) rows.push_back({{"put", "beta:disk1", pair}, refusal});
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args[0] + " " + row.args[1].substr(0, 30) + " " +
                 row.args.back().substr(0, 45) + " " + row.devtab);
    ClearLogs();
    const e2e::RunResult r = Call("alpha", row.args, {{"OAM_DEVTAB", row.devtab}});
    EXPECT_EQ(RsclientRuns() > 0, row.refusal.empty());
    EXPECT_FALSE(e2e::Exists(m));
    // One refusal, the expected one, as the one 799 3 entry; a refused
    // call fails.
    const std::string log = e2e::ReadFile(Root("alpha") + "/var/adm/oam.log");
    EXPECT_EQ(log.find("refused"), log.rfind("refused")) << log;
    EXPECT_EQ(log.find(" 799 3: ") == std::string::npos, row.refusal.empty()) << log;
    EXPECT_TRUE(row.refusal.empty() || (log.find(row.refusal + "\n") != std::string::npos &&
                                        log.find(" 799 3: ") == log.rfind(" 799 3: ") &&
                                        r.status == 1))
        << log << r.status;
    if (!row.refusal.empty()) {
      EXPECT_EQ(r.out, row.args[0] == "put" ? "result -1\n" : "NULL\n");
    }
  }
}

// Object-tool commands replaced by scripts on beta: what libls makes of
// their output and failure, and what reached them.
TEST_F(LsE2eTest, RemoteCommandsOutputFailureAndWhatReachesThem) {
  const std::string w39(39, 'w');
  const std::string bin = Root("alpha") + "/usr/sadm/sysadm/bin/";
  const std::string quoted = "\"OAM_DEVTAB=/etc/device.tab export OAM_DEVTAB;" + bin;
  const std::string tmp = Root("alpha") + "/tmp/";
  const struct {
    const char* command;
    std::string canned;
    std::vector<std::string> args;
    std::string out;  // what ls_call prints
    Lines log;        // every LOG entry, as regular expressions
    int status = 0;   // the command's exit status
    Lines traces = {};  // level-7 entries, in this order
    std::string devtab = "";  // OAM_DEVTAB for the call
    Lines saved = {};  // its arguments, device table and input
  } rows[] = {
      {"OTgetattr", "size=12\nmore=1\n", {"attr", "beta:d", "size"}, "size=\"12\"\n", {}},
      {"OTgetattr", "", {"attr", "beta:d", "size"}, "NULL\n",
       {"LOG LS.LSQueryattr 799 5: getkeyword failed"}},
      {"OTgetattrs", "a=\"open\n", {"attrs", "beta:d"}, "NULL\n",
       {"LOG LS.LSQueryattrs 799 5: KeywordStreamToList failed"}},
      {"OTgetobj", "size=1 alias=disk9 do_x=y\n", {"obj", "beta:d"},
       "alias disk9\nattribute size=\"1\"\nmethod do_x=\"y\"\n", {}},
      {"OTgetobj", "size=1 color=\n", {"obj", "beta:d"}, "NULL\n",
       {"LOG LS.LSQueryobj 799 5: Output of OTgetob invalid"}},
      {"OTnextalias", "", {"next", "all", "beta:d"}, "NULL\n",
       {"LOG LS.LSQuerynext 799 5: fscanf failed"}},
      {"OTnextalias", "\n disk7 disk8\n", {"next", "all", "beta:d"}, "disk7\n", {}},
      {"OTnextalias", w39 + "\n", {"next", "all", "beta:d"}, w39 + "\n", {}},
      {"OTnextalias", w39 + "w", {"next", "all", "beta:d"}, "NULL\n",
       {"LOG LS.LSQuerynext 799 3: next alias refused: longer than 39 bytes"}},
      {"OTperform", "", {"perform", "beta:d", "do_x"}, "", {}},
      {"OTperform", "a=\"open\n", {"perform", "beta:d", "do_x"}, "NULL\n",
       {"LOG RS.RSPerform 799 5: KeywordStreamToList failed"}},
      {"OTgetaliases", "", {"aliases", "Containment=beta"}, "NULL\n", {}},
      {"OTgetaliases", "disk1\ndisk2 ", {"aliases", "Containment=beta"},
       "beta:disk1\nbeta:disk2\n", {}},
      // A word too long for its buffer is left out; the next still counts.
      {"OTgetaliases", "d1 " + std::string(600, 'x') + " d2\n", {"aliases", "Containment=beta"},
       "beta:d1\nbeta:d2\n", {"LOG LS.LSBrowse 799 3: alias refused: longer than 519 bytes"}},
      // A command that exits 1 fails the call; the whole line is logged.
      {"OTgetattr", "", {"attr", "beta:disk1", "size"}, "NULL\n",
       {"LOG LS.LSQuerylist 701 1: " + bin + "RSClient -N beta -E " + quoted +
        "OTgetattr -A disk1 -K size\" > " + tmp + "ZU_query\\w{6} failed"},
       1},
      {"OTnextalias", "", {"next", "all", "beta:disk1"}, "NULL\n",
       {"LOG LS.LSQuerynext 701 1: .*OTnextalias -C all -P disk1\" > .*ZU_query\\w{6} failed"},
       1},
      {"OTgetaliases", "", {"aliases", "Containment=beta"}, "NULL\n",
       {"LOG LS.LSBrowse 701 1: cat " + tmp + "ZU_param\\w{6} \\| " + bin +
            "RSClient -N beta -E " + quoted + "OTgetaliases -I -\" > " + tmp +
            "ZU_browse\\w{6} failed",
        "LOG LS.LSBrowse 703 2: LSBrowse failed"},
       1,
       {"LS.LSBrowse: LS.LSBrowse cmd: "}},
      {"OTput", "", {"put", "beta:disk1", "a=1"}, "result -1\n",
       {"LOG LS.LSPut 701 1: cat " + tmp + "ZU_param\\w{6} \\| " + bin + "RSClient -N beta -E " +
        quoted + "OTput -A disk1 -I -\" failed"},
       1},
      {"OTperform", "", {"perform", "beta:disk1", "do_show"}, "NULL\n",
       {"LOG RS.RSPerform 701 1: cat .*ZU_param\\w{6} \\| .*OTperform -A disk1 -M do_show -I "
        "-\" > " + tmp + "ZU_perform\\w{6} failed"},
       1,
       {"RS.RSPerform: remote call to beta alias disk1", "RS.RSPerform: RS.RSPerform cmd: "}},
      // The previous alias and the caller's device table reach the far side.
      {"OTnextalias", "disk4\n", {"next", "type=disk", "beta:"}, "disk4\n", {}, 0, {}, "",
       {"-C type=disk\n", "/etc/device.tab\n", ""}},
      {"OTnextalias", "disk4\n", {"next", "all", "beta:disk3"}, "disk4\n", {}, 0, {},
       "/opt/dev.tab", {"-C all -P disk3\n", "/opt/dev.tab\n", ""}},
      // Parameter files carry values unchanged: a tab, a double quote and
      // texts a shell would read go as they stand.
      {"OTgetaliases", "disk1 disk2\n",
       {"aliases", "type=disk", "Containment=beta", "color=dark red"}, "beta:disk1\nbeta:disk2\n",
       {}, 0, {}, "", {"-I -\n", "/etc/device.tab\n", "type=disk\ncolor=dark red\n"}},
      {"OTput", "", {"put", "beta:disk1", "k=tab\there", "q=say \"hi\"; $(x) `y`", "e="},
       "result 0\n", {}, 0, {}, "",
       {"-A disk1 -I -\n", "/etc/device.tab\n",
        "k=\"tab\there\"\nq=\"say \"hi\"; $(x) `y`\"\ne=\"\"\n"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.command) + " printing " + row.canned + " exiting " +
                 std::to_string(row.status));
    ClearLogs();
    Fake(row.command, row.status, row.canned);
    const e2e::RunResult r =
        Call("alpha", row.args, {{"OAM_TRACE", "7"}, {"OAM_DEVTAB", row.devtab}});
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(r.status, row.out == "NULL\n" || row.out == "result -1\n" ? 1 : 0);
    const Lines log = LogLines("LOG ");
    ASSERT_EQ(log.size(), row.log.size()) << (log.empty() ? "" : log[0]);
    for (size_t i = 0; i < log.size(); ++i)
      EXPECT_TRUE(std::regex_match(log[i], std::regex(row.log[i]))) << log[i];
    const std::string text = e2e::ReadFile(Root("alpha") + "/var/adm/oam.log");
    size_t at = 0;
    for (const std::string& t : row.traces) {
      at = text.find("TRACE 7 " + t, at);
      EXPECT_NE(at, std::string::npos) << t;
    }
    EXPECT_NE(Saved(row.command, "args"), "") << "did not run on beta";
    const char* what[] = {"args", "devtab", "stdin"};
    for (size_t i = 0; i < row.saved.size(); ++i) EXPECT_EQ(Saved(row.command, what[i]), row.saved[i]);
  }
}

}  // namespace
}  // namespace ls_e2e
