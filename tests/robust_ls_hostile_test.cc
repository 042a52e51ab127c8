// Hostile input to libls, through the ls_call driver on machine alpha of a
// two-machine cluster: a name-server registry with 100 KB lines, NUL bytes
// and no final newline; net aliases, parameter keywords and values and
// command lines at and just past their buffers.  Run under
// the sanitizer preset, nothing may be read or written past a buffer.

#include <map>
#include <string>
#include <vector>

#include "tests/ls_cluster.h"

namespace ls_e2e {
namespace {

const std::string k100K(100 * 1024, 'x');

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

TEST_F(RobustLsHostileTest, RegistryGivesItsDocumentedServerList) {
  const std::string unknown = "beta is unknown to the name/locations service";
  const std::string not_sspi =
      "799 7: failed to convert file information to keywordlist";
  const struct {
    const char* name;
    std::string registry;
    bool beta;  // beta is a registered name server
    std::vector<std::string> logged;
  } cases[] = {
      {"100 KB value",
       "MaXnAmEsErVrS=4\nname_servers=" + k100K + "\n",
       false,
       {not_sspi, unknown}},
      {"100 KB quoted value",
       "MaXnAmEsErVrS=4\nname_servers=\"beta," + k100K + "\"\n",
       false,
       {not_sspi, unknown}},
      {"100 KB comment",
       "# " + k100K + "\nMaXnAmEsErVrS=4\nname_servers=beta\n",
       true,
       {}},
      {"NULs between pairs",
       std::string("MaXnAmEsErVrS=4\0name_servers=beta\0", 34),
       true,
       {}},
      // A NUL is white space: the value ends at it, and "ta" is a keyword
      // of its own.
      {"NUL inside a name",
       std::string("MaXnAmEsErVrS=4\nname_servers=be\0ta\n", 35),
       false,
       {"799 6: Server keyword ta in entry ta= is invalid", unknown}},
      {"no final newline", "MaXnAmEsErVrS=4\nname_servers=beta", true, {}},
      {"100 KB of NULs", std::string(100 * 1024, '\0'), false, {unknown}},
  };
  for (const auto& c : cases) {
    Register("alpha", c.registry);
    e2e::RunResult r;
    const bool sent = Sent({"attr", "beta:disk1", "size"}, &r);
    EXPECT_EQ(sent, c.beta) << c.name;
    EXPECT_EQ(r.out, c.beta ? "size=\"20\"\n" : "NULL\n") << c.name;
    EXPECT_EQ(LogLines("alpha", "LOG ").size(), c.logged.size()) << c.name;
    for (const std::string& text : c.logged)
      EXPECT_EQ(Logged(text), 1) << c.name << ": " << text;
  }
}

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

TEST_F(RobustLsHostileTest, RemoteLineAtAndPastItsBuffer) {
  // The line for a short attribute name, from the trace, tells how long a
  // name makes the line exactly 4095 bytes, the most its buffer holds.
  e2e::RunResult r;
  ASSERT_TRUE(Sent({"attr", "beta:disk1", "a"}, &r, {{"OAM_TRACE", "7"}}));
  const std::string mark = "LS.LSQueryattr remote_cmd: ";
  size_t base = 0;
  for (const std::string& line : LogLines("alpha", "TRACE 7 LS.LSQueryattr: "))
    if (size_t at = line.find(mark); at != std::string::npos)
      base = line.size() - at - mark.size();
  ASSERT_GT(base, 100u);
  ASSERT_LT(base, 4095u);
  const std::string longest(1 + 4095 - base, 'a');
  EXPECT_TRUE(Sent({"attr", "beta:disk1", longest}, &r));
  EXPECT_EQ(Logged("refused"), 0);
  EXPECT_FALSE(Sent({"attr", "beta:disk1", longest + "a"}, &r));
  EXPECT_EQ(Logged("799 3: command line refused: longer than 4095 bytes"), 1);
  EXPECT_EQ(r.out, "NULL\n");
}

}  // namespace
}  // namespace ls_e2e
